// A test against the Trebuk port server's stand-in: the server registered,
// COM on the test's thread, the server's call log, and a current
// destination that goes with the test.
#pragma once

#include "bidi/CurrentDestination.h"
#include "support/TrebukStandIn.h"

#include <gtest/gtest.h>

namespace testtrebuk {

class ServerFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(registerServer());
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    }
    void TearDown() override
    {
        MPrint::setCurrentPrinterNameSource(nullptr);
        CoUninitialize();
    }

    // The queue of the job being handled, until the test ends.
    static void setCurrentQueue(const std::wstring& name)
    {
        queueName() = name;
        MPrint::setCurrentPrinterNameSource([] { return queueName(); });
    }

    ScopedCallLog log_;

private:
    static std::wstring& queueName()
    {
        static std::wstring name;
        return name;
    }
};

} // namespace testtrebuk
