#include "engine/TranslationProvider.h"

#include <gtest/gtest.h>

TEST(TranslationProvider, RawValuesArePersistedForms)
{
    EXPECT_EQ(qw::rawValue(qw::TranslationProvider::deepSeek), QStringLiteral("deepseek"));
}
