// Reading a print-path document, against a bare SAX parse of the same bytes:
// standalone, on a thread where the module holds COM, and with one parser
// object reused.
#include "BareSax.h"
#include "BenchHarness.h"
#include "SamplePaths.h"

#include "core/COMWrapper.h"
#include "destination/PrintPathParser.h"

#include <memory>

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
        result = table.exitCode();
    }
    CoUninitialize();
    return result;
}
