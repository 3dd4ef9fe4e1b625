// The install context and original printer name in the user's settings.
#include "core/RegistryKey.h"
#include "core/SettingsKeys.h"
#include "extension/InstallContext.h"
#include "support/PrivateCurrentUser.h"

#include <gtest/gtest.h>

TEST(InstallContext, ContextsStoredLoadedAndRefused)
{
    testenv::PrivateCurrentUser user;
    ASSERT_TRUE(user.isActive());
    {
        InstallContext context;
        EXPECT_FALSE(context.hasContext());
        EXPECT_FALSE(context.setContext(0));
        EXPECT_FALSE(context.setContext(4));
        EXPECT_FALSE(context.hasContext());
        EXPECT_FALSE(context.deleteContext());  // nothing stored, not even the key
        for (int n : {1, 2, 3}) {
            SCOPED_TRACE(n);
            EXPECT_TRUE(context.setContext(n));
            InstallContext loaded;
            EXPECT_EQ(loaded.getContext(), n);
            EXPECT_EQ(loaded.isContext1(), n == 1);
            EXPECT_EQ(loaded.isContext2(), n == 2);
            EXPECT_EQ(loaded.isContext3(), n == 3);
        }
        EXPECT_TRUE(context.deleteContext());
        EXPECT_FALSE(InstallContext().hasContext());
    }
    // A value written by someone else is taken as it is.
    RegistryKey key(HKEY_CURRENT_USER, settingskeys::kSettings, RegistryKey::kAllAccess, true);
    ASSERT_TRUE(key.setDword(L"InstallContext", 7));
    InstallContext seven;
    EXPECT_TRUE(seven.hasContext());
    EXPECT_FALSE(seven.isContext1() || seven.isContext2() || seven.isContext3());
}

TEST(InstallContext, OriginalPrinterName)
{
    testenv::PrivateCurrentUser user;
    ASSERT_TRUE(user.isActive());
    InstallContext context;
    EXPECT_EQ(context.getOriginalPrinterName(), L"");
    EXPECT_FALSE(context.setOriginalPrinterName(L""));
    EXPECT_TRUE(context.setOriginalPrinterName(L"Office Printer"));
    EXPECT_EQ(InstallContext().getOriginalPrinterName(), L"Office Printer");
    EXPECT_TRUE(context.deleteOriginalPrinterName());
    EXPECT_FALSE(context.deleteOriginalPrinterName());
    // An absent value leaves the name known last.
    EXPECT_EQ(context.getOriginalPrinterName(), L"Office Printer");
    EXPECT_EQ(InstallContext().getOriginalPrinterName(), L"");
}
