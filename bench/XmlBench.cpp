// Reading a print-path document, against a bare SAX parse of the same bytes.
#include "BareSax.h"
#include "BenchHarness.h"
#include "SamplePaths.h"

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

        table.run(L"print-path XML read (fromXml, " + size + L") vs bare SAX parse",
                  [&] { return std::unique_ptr<MPrint::PrintPath>(MPrint::PrintPath::fromXml(xml)) != nullptr; },
                  baseline);

        MPrint::PrintPath target;
        MPrint::PrintPathParser parser(&target);
        table.run(L"the same, parser object reused", [&] { return parser.parse(xml); }, baseline);
        result = table.exitCode();
    }
    CoUninitialize();
    return result;
}
