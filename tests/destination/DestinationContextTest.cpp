// Ownership of the destination's print path, and the context's identity.
#include "destination/DestinationContext.h"

#include <gtest/gtest.h>

namespace {

using MPrint::DestinationContext;

struct CountedPath : MPrint::PrintPath {
    explicit CountedPath(int& deletes) : deletes(deletes) {}
    ~CountedPath() override { ++deletes; }
    int& deletes;
};

TEST(DestinationContextTest, OwnsOnePrintPathAtATime)
{
    int deletes = 0;
    {
        DestinationContext context(L"Queue", nullptr);
        EXPECT_EQ(context.detachPrintPath(), nullptr);
        auto* first = new CountedPath(deletes);
        EXPECT_TRUE(context.setPrintPath(first));
        EXPECT_TRUE(context.setPrintPath(first)); // the same path again: kept
        EXPECT_EQ(deletes, 0);
        EXPECT_EQ(context.getPrintPath(), first);

        EXPECT_TRUE(context.setPrintPath(new CountedPath(deletes)));
        EXPECT_EQ(deletes, 1);
        MPrint::PrintPath* detached = context.detachPrintPath();
        EXPECT_EQ(context.getPrintPath(), nullptr);
        delete detached;
        EXPECT_EQ(deletes, 2);

        context.setPrintPath(new CountedPath(deletes));
        context.setPrintPath(nullptr);
        EXPECT_EQ(deletes, 3);
        context.setPrintPath(new CountedPath(deletes));
    }
    EXPECT_EQ(deletes, 4); // the destructor deletes the last one
}

TEST(DestinationContextTest, NamesAndIdentity)
{
    DestinationContext first(L"Queue", L"Report.doc");
    DestinationContext second(L"Queue", nullptr);
    EXPECT_STREQ(first.getDocumentName(), L"Report.doc");
    EXPECT_STREQ(second.getDocumentName(), L"");
    EXPECT_TRUE(first.isValid());
    EXPECT_FALSE(IsEqualGUID(first.getContextId(), GUID{}));
    EXPECT_FALSE(IsEqualGUID(first.getContextId(), second.getContextId()));
    second.setPrinterName(L"Other");
    EXPECT_EQ(second.getPrinterName(), L"Other");
}

TEST(DestinationContextTest, HelpFileOfAQueueThatCannotBeOpened)
{
    DestinationContext context(L"No such queue " + std::to_wstring(GetCurrentProcessId()), nullptr);
    std::wstring path = L"untouched";
    // A source that must not be asked: the queue never opens.
    struct Unasked : MPrint::HelpFileSource {
        bool extractHelpFile(HANDLE, std::wstring&) override
        {
            ADD_FAILURE() << "asked without an open queue";
            return false;
        }
    } source;
    EXPECT_FALSE(context.getHelpFilePath(path, source));
    EXPECT_EQ(path, L"untouched");
}

} // namespace
