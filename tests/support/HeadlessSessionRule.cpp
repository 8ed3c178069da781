#include "tests/support/HeadlessSessionRule.h"

#include <QtGlobal>

namespace qw::test {

bool insideHeadlessSession()
{
    return !qEnvironmentVariableIsEmpty("QW_HEADLESS_SESSION");
}

void HeadlessSessionRule::OnTestEnd(const ::testing::TestInfo& test)
{
    // A failure raised here still belongs to the test that just ended (GoogleTest's end
    // events reach the listeners appended last first, so the result printer sees it too).
    if (test.result()->Skipped() && insideHeadlessSession())
        ADD_FAILURE() << test.test_suite_name() << "." << test.name()
                      << " skipped inside the headless session, where everything it needs is running";
}

} // namespace qw::test
