// Managed printer lists: reading and grouping a list of 10,000 printers in
// 1,000 groups against a bare SAX parse of the same bytes (addresses are
// taken as they stand there), and, apart, resolving one record's address
// through the discovery manager's services against those services' own
// work, with the wait cursor the walk shows timed on its own.
#include "BareSax.h"
#include "BenchHarness.h"
#include "SamplePaths.h"

#include "VagantUIExtension/DiscoveryServicesManager.h"
#include "core/ComponentRegistry.h"
#include "destination/PrintPathAttr.h"
#include "discovery/ManagedListParser.h"
#include "extension/ManagedPrintPolicy.h"
#include "support/FakeDiscoveryService.h"
#include "support/ManagedListFixtures.h"
#include "support/PrivateCurrentUser.h"

#include <memory>
#include <vector>

namespace {

constexpr int kPrinters = 10000;
constexpr int kGroups = 1000;

// Services in the order the real ones take: job delivery (marked addresses
// only) before the TCP/IP one, which takes every address.
const GUID kJobDelivery = {0x00000087, 0x5e6f, 0x4a70, {0x81, 0x92, 0xa3, 0xb4, 0xc5, 0xd6, 0xe7, 0x01}};
const GUID kLocalPort = {0x000000A7, 0x5e6f, 0x4a70, {0x81, 0x92, 0xa3, 0xb4, 0xc5, 0xd6, 0xe7, 0x02}};
const GUID kTcpIp = {0x000000E3, 0x5e6f, 0x4a70, {0x81, 0x92, 0xa3, 0xb4, 0xc5, 0xd6, 0xe7, 0x03}};

void registerResolvers()
{
    using fakes::FakeServiceConfig;
    FakeServiceConfig jobDelivery{"jobdelivery", MPrint::DiscoveryServiceIntf::kCapResolve};
    jobDelivery.resolvePaths = 1;
    jobDelivery.accepts = [](const std::wstring& a) { return a.compare(0, 6, L"^_//_^") == 0; };
    FakeServiceConfig localPort{"localport", MPrint::DiscoveryServiceIntf::kCapResolve};
    localPort.resolvePaths = 1;
    localPort.accepts = [](const std::wstring& a) { return a.compare(0, 3, L"COM") == 0; };
    FakeServiceConfig tcpIp{"tcpip", MPrint::DiscoveryServiceIntf::kCapResolve};
    tcpIp.resolvePaths = 1;
    for (auto [id, config] : {std::pair{kJobDelivery, jobDelivery}, std::pair{kLocalPort, localPort},
                              std::pair{kTcpIp, tcpIp}}) {
        fakes::configureFakeService(id, config);
        ComponentRegistry::registerComponent(
            ComponentDescriptor{id, kDiscoveryServiceComponent, fakes::createFakeService, 1, 0, 0, nullptr, 0, 0, 0,
                                0, 0});
    }
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    const bench::Options options = bench::parseOptions(argc, argv);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int result = 0;
    {
        testenv::PrivateCurrentUser user; // the per-user lists the manager reads, the list cache
        bench::Table table(options);

        const std::string xml = testenv::generateCustomList(kPrinters, kGroups);
        testenv::InMemoryListHost host(xml);
        bench::BareSax bare;
        table.run(L"managed list read and grouped (10,000 printers, 1,000 groups, " + bench::kilobytes(xml.size()) +
                      L") vs bare SAX parse",
                  [&] {
                      MPrint::ManagedListParser parser(host);
                      uint32_t count = 0;
                      return parser.Parse(L"list.xml", &count, nullptr, nullptr, 0) == 0 && count == kGroups &&
                             !parser.readFailed();
                  },
                  [&] { return bare.parse(xml); });

        registerResolvers();
        DiscoveryServicesManager* manager = DiscoveryServicesManager::GetInstance();
        if (manager->Initialize() != 0 || manager->Start() != 0) {
            table.fail(L"address resolution", L"the discovery manager did not start");
        } else {
            std::vector<MPrint::DiscoveryServiceIntf*> resolvers;
            for (const GUID& id : {kJobDelivery, kLocalPort, kTcpIp})
                resolvers.push_back(manager->GetService(id));
            int n = 0;
            auto nextAddress = [&n] { return L"10.0." + std::to_wstring(n++ % 256) + L".7"; };
            table.run(L"one list record's address resolved through the manager's services vs the same services' "
                      L"Resolve called directly",
                      [&] {
                          fakes::fakeServiceLog().clear();
                          std::unique_ptr<MPrint::PrintPath> path(
                              host.CachedManagedListHost::findPrintPath(nextAddress(), L"Printer"));
                          return path != nullptr;
                      },
                      [&] {
                          fakes::fakeServiceLog().clear();
                          const std::wstring address = nextAddress();
                          PrintPathList list;
                          for (MPrint::DiscoveryServiceIntf* service : resolvers) {
                              if (service->Resolve(nullptr, address, L"Printer", L"Printer", list) == 0)
                                  break;
                          }
                          return list.size() == 1;
                      });
            table.run(L"the wait cursor that a typed address's resolution shows, alone, vs nothing",
                      [] {
                          const HCURSOR previous = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
                          SetCursor(previous);
                          return true;
                      },
                      [] { return true; });
        }
        delete manager;
        if (MPrint::ManagedPrintPolicy::hasInstance())
            delete MPrint::ManagedPrintPolicy::instance();
        for (const GUID& id : {kJobDelivery, kLocalPort, kTcpIp})
            ComponentRegistry::unregisterComponent(id);
        result = table.exitCode();
    }
    CoUninitialize();
    return result;
}
