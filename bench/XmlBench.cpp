// Reading a print-path document, against a bare SAX parse of the same bytes:
// standalone, on a thread where the module holds COM, with one parser object
// reused, and a document of many device elements at two sizes (the time
// should grow with the document, not with its square).
#include "BareSax.h"
#include "BenchHarness.h"
#include "SamplePaths.h"

#include "core/COMWrapper.h"
#include "destination/PrintPathParser.h"

#include <memory>

namespace {

// The sample document with its device element, four PDLs, repeated.
std::string manyDevicesXml(int devices)
{
    std::string xml = bench::samplePrintPathXml();
    const size_t begin = xml.find("<device>");
    const size_t end = xml.find("</device>") + sizeof("</device>") - 1;
    const std::string device = xml.substr(begin, end - begin);
    std::string repeated;
    repeated.reserve(device.size() * devices);
    for (int n = 0; n < devices; ++n)
        repeated += device;
    return xml.replace(begin, end - begin, repeated);
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    const bench::Options options = bench::parseOptions(argc, argv);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int result = 0;
    {
        bench::Table table(options);
        const std::string xml = bench::samplePrintPathXml();
        const std::wstring size = bench::kilobytes(xml.size());
        bench::BareSax bare;
        const bench::Step baseline = [&] { return bare.parse(xml); };

        const bench::Step fromXml = [&] {
            return std::unique_ptr<MPrint::PrintPath>(MPrint::PrintPath::fromXml(xml)) != nullptr;
        };
        table.run(L"print-path XML read (fromXml, " + size + L") vs bare SAX parse", fromXml, baseline);

        // A thread whose COM the module holds, as the printing extension's
        // does: every read on it uses the thread's kept reader.
        if (COMWrapper* com = getThreadCOMWrapper(__FILE__, __LINE__)) {
            com->initialize();
            table.run(L"the same, on a thread where the module holds COM", fromXml, baseline);
            if (COMWrapper* same = getThreadCOMWrapper(__FILE__, __LINE__))
                same->uninitialize();
        }

        MPrint::PrintPath target;
        MPrint::PrintPathParser parser(&target);
        table.run(L"the same, parser object reused", [&] { return parser.parse(xml); }, baseline);

        for (const auto& [devices, label] : {std::pair{1000, L"1,000"}, std::pair{4000, L"4,000"}}) {
            const std::string many = manyDevicesXml(devices);
            table.run(L"print-path XML read, " + std::wstring(label) + L" device elements (fromXml, " +
                          bench::kilobytes(many.size()) + L") vs bare SAX parse",
                      [&] { return std::unique_ptr<MPrint::PrintPath>(MPrint::PrintPath::fromXml(many)) != nullptr; },
                      [&] { return bare.parse(many); });
        }
        result = table.exitCode();
    }
    CoUninitialize();
    return result;
}
