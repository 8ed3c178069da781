#pragma once

#include <gtest/gtest.h>

namespace qw::test {

// Whether the tests run inside scripts/headless-session.sh, which sets QW_HEADLESS_SESSION:
// there the X server, the session bus, the accessibility bus and the keyring are all running.
bool insideHeadlessSession();

// Inside the headless session nothing a test needs is missing, so a test that skips there
// hides a broken desktop instead of a missing one: this listener turns every skip into a
// failure that names the skipped test. Outside the session skips stay skips.
class HeadlessSessionRule : public ::testing::EmptyTestEventListener {
public:
    void OnTestEnd(const ::testing::TestInfo& test) override;
};

} // namespace qw::test
