// The document events of one process against the spooler stand-in and a
// scripted chooser: the job-info record's bytes, the markers that carry a
// prompt's answer to the job (deleted, held for re-targeting, let go), the
// exceptions after a document-properties sheet, the rapid-print window,
// the record road of device-context and end-of-document events, and input
// the driver may get wrong.
#include "access/MonitorAccess.h"
#include "extension/DocumentEvents.h"

#include "core/RegistryKey.h"
#include "core/SettingsKeys.h"
#include "extension/PrintTimeDialogs.h"
#include "extension/JobInfoRecord.h"
#include "extension/KRVProperties.h"
#include "extension/LumoraPrintingExtension.h"
#include "extension/ManagedPrintPolicy.h"
#include "extension/WaypostJobEvents.h"
#include "support/PrivateCurrentUser.h"
#include "support/SharedState.h"
#include "support/TestEnv.h"
#include "support/TestSpooler.h"

#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

VRELM_TEST_SHARES(cluster_node, policy_settings);

namespace {

std::vector<BYTE> utf16(const wchar_t* text)
{
    const BYTE* bytes = reinterpret_cast<const BYTE*>(text);
    return std::vector<BYTE>(bytes, bytes + (wcslen(text) + 1) * sizeof(wchar_t));
}

TEST(JobInfoRecordBytes, StartOfDocumentCarriesItsStringsFromOffset84)
{
    const std::wstring printer = L"P";
    const JobInfoRecord record = JobInfoRecord::startOfDocument(41, 0x1234, false, &printer, L"D");
    const std::vector<BYTE>& bytes = record.bytes();
    ASSERT_EQ(96u, bytes.size());
    const struct {
        DWORD offset, value;
    } fields[] = {{0, 96}, {4, 0}, {8, 41}, {12, 0x1234}, {16, 0}, {20, 0}, {24, 1}, {76, 84}, {80, 88}, {92, 0}};
    for (const auto& field : fields) {
        SCOPED_TRACE(field.offset);
        EXPECT_EQ(field.value, record.u32(field.offset));
    }
    EXPECT_EQ(utf16(L"P"), std::vector<BYTE>(bytes.begin() + 84, bytes.begin() + 88));
    EXPECT_EQ(utf16(L"D"), std::vector<BYTE>(bytes.begin() + 88, bytes.begin() + 92));

    // Delivery instead of accounting; an absent printer takes no room.
    const JobInfoRecord delivery = JobInfoRecord::startOfDocument(7, 1, true, nullptr, L"");
    EXPECT_EQ(90u, delivery.bytes().size());
    EXPECT_EQ(90u, delivery.u32(0));
    EXPECT_EQ(1u, delivery.u32(20));
    EXPECT_EQ(0u, delivery.u32(24));
    EXPECT_EQ(0u, delivery.u32(76));
    EXPECT_EQ(84u, delivery.u32(80));

    JobInfoRecord end(JobInfoRecord::kEndOfDocument);
    end.setHandles(reinterpret_cast<HANDLE>(0x1122334455667788ull), reinterpret_cast<HDC>(0xAABBCCDDull));
    const std::vector<BYTE> message = end.message();
    ASSERT_EQ(96u + 88u, message.size());
    DWORD header[2] = {};
    std::memcpy(header, message.data(), sizeof(header));
    EXPECT_EQ(184u, header[0]);
    EXPECT_EQ(7u, header[1]);
    EXPECT_EQ(0, std::memcmp(message.data() + 8, end.bytes().data(), 88));
    EXPECT_EQ(0x55667788u, end.u32(28));
    EXPECT_EQ(0xAABBCCDDu, end.u32(32));
    EXPECT_FALSE(end.setBytes(86, "abc", 3));
}

// Answers the prompt in order; a confirmed answer may change the destination.
class ScriptedChooser : public PrintTimeDialogs {
public:
    struct Answer {
        INT_PTR result;
        bool changed;
    };
    ScriptedChooser() { PrintTimeDialogs::set(this); }
    ~ScriptedChooser() override { PrintTimeDialogs::set(nullptr); }
    INT_PTR confirm(LumoraPrintingExtension& extension, int, HWND, LPARAM) override
    {
        ++shown;
        if (fails)
            throw std::runtime_error("the chooser failed");
        const Answer answer = answers.empty() ? Answer{2, false} : answers.front();
        if (!answers.empty())
            answers.erase(answers.begin());
        extension.setDestination(L"Lab Laser");
        extension.setDestinationChanged(answer.changed);
        return answer.result;
    }
    std::vector<Answer> answers;
    int shown = 0;
    bool fails = false;
};

class DocumentEventsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(hkcu_.isActive());
        closePropertyStore();
        ASSERT_NE(nullptr, testspool::control());
        ASSERT_EQ(DWORD{ERROR_SUCCESS}, queue_.error());
        ASSERT_TRUE(OpenPrinterW(const_cast<wchar_t*>(queue_.name().c_str()), &printer_, nullptr));
    }
    void TearDown() override
    {
        ClosePrinter(printer_);
        for (const wchar_t* marker : {krv::kCancelJob, krv::kChangePortPauseJob, krv::kRunMakePermanent,
                                      krv::kAssociateJobInfo, krv::kEndDocProcessJobInfo, krv::kUIOpen})
            deleteProcessProperty(marker);
        if (MPrint::ManagedPrintPolicy::hasInstance())
            delete MPrint::ManagedPrintPolicy::instance();
        closePropertyStore();
    }
    DWORD addJob(const wchar_t* document, DWORD status = 0)
    {
        DWORD id = 0;
        EXPECT_EQ(DWORD{ERROR_SUCCESS}, testspool::control()->addJob(queue_.name().c_str(), document, status, &id));
        return id;
    }
    DWORD jobStatus(DWORD id) { return testspool::jobStatus(printer_, id); }
    void startDocument()
    {
        const DOCINFOW* pointer = &document_;
        EXPECT_EQ(0, LumoraUI::documentEvent(printer_, nullptr, 5, sizeof(pointer), &pointer));
    }
    void jobCreated(DWORD job) { EXPECT_EQ(0, LumoraUI::documentEvent(printer_, nullptr, 13, sizeof(job), &job)); }
    void forgetLastStart() { deletePrinterProcessProperty(printer_, nullptr, krv::kLastJobStartTime); }
    DWORD pid() const { return GetCurrentProcessId(); }

    testenv::PrivateCurrentUser hkcu_;
    testspool::ScopedQueue queue_{testspool::uniqueQueueName(L"Document Events")};
    HANDLE printer_ = nullptr;
    wchar_t documentName_[16] = L"Minutes.doc";
    DOCINFOW document_ = {sizeof(DOCINFOW), documentName_, nullptr, nullptr, 0};
};

TEST_F(DocumentEventsTest, PromptAnswerDecidesWhatHappensToTheJob)
{
    ScriptedChooser chooser;
    // Cancelled: the job is deleted once it exists.
    chooser.answers = {{2, false}};
    startDocument();
    EXPECT_EQ(1, chooser.shown);
    EXPECT_EQ(pid(), getProcessProperty(krv::kCancelJob));
    EXPECT_EQ(0u, getProcessProperty(krv::kUIOpen));
    const DWORD cancelled = addJob(L"Minutes.doc");
    jobCreated(cancelled);
    EXPECT_EQ(0u, getProcessProperty(krv::kCancelJob));
    EXPECT_TRUE(jobStatus(cancelled) == testspool::kJobGone || (jobStatus(cancelled) & JOB_STATUS_DELETING));

    // Confirmed, same destination: the job goes on, its start is stamped.
    forgetLastStart();
    chooser.answers = {{1, false}};
    startDocument();
    EXPECT_EQ(2, chooser.shown);
    EXPECT_EQ(0u, getProcessProperty(krv::kCancelJob));
    EXPECT_EQ(0u, getProcessProperty(krv::kChangePortPauseJob));
    const DWORD kept = addJob(L"Minutes.doc");
    jobCreated(kept);
    EXPECT_EQ(0u, jobStatus(kept) & (JOB_STATUS_PAUSED | JOB_STATUS_DELETING));
    EXPECT_NE(0u, getPrinterProcessProperty(printer_, nullptr, krv::kLastJobStartTime));

    // Within the rapid-print window: no prompt.
    startDocument();
    EXPECT_EQ(2, chooser.shown);
    // Off with a zero window.
    RegistryKey(HKEY_CURRENT_USER, settingskeys::kSettings, RegistryKey::kAllAccess, true)
        .setDword(L"RapidPrintNoPrompt", 0);
    chooser.answers = {{1, true}};
    startDocument();
    EXPECT_EQ(3, chooser.shown);
    // Another destination: the last queued job is the one to wait for.
    EXPECT_EQ(kept, getProcessProperty(krv::kChangePortPauseJob));
}

TEST_F(DocumentEventsTest, FailedPromptLeavesNoUIOpenMarkerBehind)
{
    // Left set, the marker would keep the property-sheet hooks away for the
    // rest of the application's life.
    ScriptedChooser chooser;
    chooser.fails = true;
    startDocument();
    EXPECT_EQ(1, chooser.shown);
    EXPECT_EQ(0u, getProcessProperty(krv::kUIOpen));
}

TEST_F(DocumentEventsTest, AnotherDestinationOnAnEmptyQueueWaitsForNoJob)
{
    ScriptedChooser chooser;
    chooser.answers = {{1, true}};
    startDocument();
    EXPECT_EQ(0xFFFFFFFFu, getProcessProperty(krv::kChangePortPauseJob));
}

TEST_F(DocumentEventsTest, DocumentPropertiesSheetSuppressesThePromptUnlessCancelledOrAsked)
{
    const struct {
        const char* name;
        bool cancelledSheet;
        bool promptAtPrint;
        bool prompted;
    } rows[] = {
        {"closed sheet: no prompt", false, false, false},
        {"cancelled sheet: prompted", true, false, true},
        {"prompt asked for at print: prompted", false, true, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ScriptedChooser chooser;
        chooser.answers = {{1, false}};
        forgetLastStart();
        setPrinterProcessProperty(printer_, nullptr, krv::kDocPropId, pid());
        if (row.cancelledSheet)
            setPrinterProcessProperty(printer_, nullptr, krv::kCancelDocProp, pid());
        if (row.promptAtPrint)
            setPrinterProcessProperty(printer_, nullptr, krv::kPromptAtPrint, pid());
        // Through the hook, as the driver calls it.
        const DOCINFOW* pointer = &document_;
        int result = -1;
        EXPECT_EQ(0, LumoraUI::documentEventHook(printer_, nullptr, 5, sizeof(pointer), &pointer, &result));
        EXPECT_EQ(0, result);
        EXPECT_EQ(row.prompted ? 1 : 0, chooser.shown);
        EXPECT_EQ(0u, getPrinterProcessProperty(printer_, nullptr, krv::kDocPropId));
        EXPECT_EQ(0u, getPrinterProcessProperty(printer_, nullptr, krv::kCancelDocProp));
        EXPECT_EQ(0u, getPrinterProcessProperty(printer_, nullptr, krv::kPromptAtPrint));
    }
}

TEST_F(DocumentEventsTest, StaticModeQueueIsNeitherPromptedNorChanged)
{
    ASSERT_EQ(DWORD{ERROR_SUCCESS}, queue_.setDword(L"", L"StaticMode", 1));
    ScriptedChooser chooser;
    chooser.answers = {{2, false}};
    startDocument();
    EXPECT_EQ(0, chooser.shown);
    EXPECT_EQ(0u, getProcessProperty(krv::kCancelJob));
    DWORD remote = 7;
    EXPECT_FALSE(LumoraUI::isEventExtensionSupported(printer_, &remote));
    EXPECT_EQ(7u, remote);
    EXPECT_TRUE(LumoraUI::isEventExtensionSupported(nullptr, &remote));
}

// A static queue that delivers through the Waypost service: a job the
// spooler keeps is announced with the queue's destination name; a cancelled
// job is deleted and the service keeps nothing of it.
TEST_F(DocumentEventsTest, DeliveredJobsReachTheWaypostService)
{
    ASSERT_TRUE(qzmon::registerStandInMonitors());
    ASSERT_EQ(DWORD{ERROR_SUCCESS}, queue_.setDword(L"", L"StaticMode", 1));
    ASSERT_EQ(DWORD{ERROR_SUCCESS}, queue_.setDword(L"", L"JobDelivery", 1));
    ASSERT_EQ(DWORD{ERROR_SUCCESS}, queue_.setString(L"", L"mplDestinationName", L"Waypost Lab"));

    const DWORD kept = addJob(L"Minutes.doc");
    jobCreated(kept);
    LumoraUI::WaypostReply reply;
    ASSERT_TRUE(LumoraUI::queryWaypostJob(kept, reply));
    EXPECT_EQ(L"Waypost Lab", reply.strings[0]);
    EXPECT_EQ(0u, jobStatus(kept) & (JOB_STATUS_PAUSED | JOB_STATUS_DELETING));

    setProcessProperty(krv::kCancelJob, pid());
    const DWORD cancelled = addJob(L"Minutes.doc");
    jobCreated(cancelled);
    EXPECT_TRUE(jobStatus(cancelled) == testspool::kJobGone || (jobStatus(cancelled) & JOB_STATUS_DELETING));
    EXPECT_FALSE(LumoraUI::queryWaypostJob(cancelled, reply));

    DWORD status = 0;
    DWORD needed = 0;
    EXPECT_TRUE(LumoraUI::sendWaypostEvent(LumoraUI::waypostRequest(LumoraUI::kWaypostFinished, kept), nullptr, 0,
                                           status, needed));
    EXPECT_EQ(DWORD{ERROR_SUCCESS}, status);
}

TEST_F(DocumentEventsTest, RecordsFollowTheJobFromDeviceContextToEndOfDocument)
{
    ASSERT_TRUE(qzmon::registerStandInMonitors());
    testspool::ScopedCallLog log;
    auto sent = [&log] { return log.calls("XcvDataW").size(); };
    // Nothing reported for the process yet: no record.
    EXPECT_FALSE(LumoraUI::recordDeviceContextEvent(nullptr, printer_, JobInfoRecord::kDeviceContext));
    EXPECT_EQ(0, LumoraUI::documentEvent(printer_, nullptr, 8, 0, nullptr));
    EXPECT_EQ(0u, sent());

    const DWORD job = addJob(L"Minutes.doc");
    setProcessProperty(krv::kAssociateJobInfo, job);
    EXPECT_EQ(0, LumoraUI::documentEvent(printer_, nullptr, 2, 0, nullptr));
    EXPECT_EQ(0u, getProcessProperty(krv::kAssociateJobInfo));
    EXPECT_EQ(job, getProcessProperty(krv::kEndDocProcessJobInfo));
    EXPECT_EQ(1u, sent());
    EXPECT_EQ(0, LumoraUI::documentEvent(printer_, nullptr, 8, 0, nullptr));
    EXPECT_EQ(0u, getProcessProperty(krv::kEndDocProcessJobInfo));
    EXPECT_EQ(2u, sent());
}

TEST_F(DocumentEventsTest, InputTheDriverGetsWrongEndsTheEventQuietly)
{
    ScriptedChooser chooser;
    const DWORD job = addJob(L"Minutes.doc");
    setProcessProperty(krv::kCancelJob, pid());
    const DWORD shortJob = job;
    const DOCINFOW* nullDocument = nullptr;
    const struct {
        const char* name;
        int event;
        ULONG size;
        const void* input;
    } rows[] = {
        {"start of document, no input", 5, sizeof(void*), nullptr},
        {"start of document, short input", 5, 4, &nullDocument},
        {"start of document, null document", 5, sizeof(void*), &nullDocument},
        {"job created, no input", 13, 4, nullptr},
        {"job created, short input", 13, 2, &shortJob},
        {"unknown event", 99, 0, nullptr},
        {"negative event", -1, 0, nullptr},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        forgetLastStart();
        EXPECT_EQ(0, LumoraUI::documentEvent(printer_, nullptr, row.event, row.size, row.input));
    }
    // No prompt without a document, and the job was never touched.
    EXPECT_EQ(0, chooser.shown);
    EXPECT_EQ(0u, jobStatus(job) & (JOB_STATUS_PAUSED | JOB_STATUS_DELETING));
    EXPECT_EQ(pid(), getProcessProperty(krv::kCancelJob));
}

} // namespace
