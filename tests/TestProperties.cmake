# Tests run in parallel in one Wine prefix. A test that needs a system-wide
# name of fixed spelling (a pipe, a mutex) takes a lock here, for example:
#   set_tests_properties(MonitorChannelTest PROPERTIES RESOURCE_LOCK qzkrvmon_pipe)
# Tests that place driver files give their processes a driver store of their
# own (VRELM_SPOOLER_DRIVER_ROOT), so the shared driver directory needs no lock.
# clearCache deletes the per-user cache key "...\QZ Print Settings\MPLCache".
set_tests_properties(CachedFileReaderTest PROPERTIES RESOURCE_LOCK mpl_cache)
# The Keravin monitor's pipe has a fixed name: its server, its host and the tests that need it absent.
set_tests_properties(MonitorChannelTest MonitorPipeHostTest PrinterSettingsTest PROPERTIES RESOURCE_LOCK qzkrvmon_pipe)
# The managed print policy's fixed settings values, cache subkey and
# group-policy key. Every test that makes a policy object reads the machine's
# values (HKLM), even with a private HKCU: a policy test's machine location
# would otherwise be fetched by another test process too.
set_tests_properties(ManagedPrintPolicyTest ManagedPrintPolicyLoadTest ManagedPrintPolicyParserTest
                     LumoraSettingsTest LumoraPrintingExtensionTest LXESingletonTest JobSettingsTest
                     PortForDestinationTest PrintPathVerificationTest DeviceConfigurationTest
                     PrinterFeaturesApplicatorTest PrintTimePromptTest PausedJobRetargetTest DocumentEventsTest
                     PrintRoadTest JobAccountingTest StaticPrinterPolicyTest UserMessageBoxTest
                     DocumentEventExportsTest
                     PROPERTIES RESOURCE_LOCK policy_settings)
# The discovery services manager loads the managed print policy when it
# creates its services (the history resolves older entries through it).
set_tests_properties(DiscoveryServicesManagerTest TargetHistoryTest ManagedListParserTest PROPERTIES RESOURCE_LOCK policy_settings)
# Dialog tests make the printing extension, which loads the policy.
set_tests_properties(LumoraDialogTest PopupMenuTest PrinterStatusDialogTest PrintPathVerifyDialogTest SettingsDialogTest ManualPrinterEntryDialogTest MakePermanantDialogTest ConfirmDialogTreeViewControlTest
                     ConfirmationDialogTest
                     ManagedListWebBrowserDialogTest ConnectUNCDialogTest PROPERTIES RESOURCE_LOCK policy_settings)
# So do the tests of the extension's own callers, the exports that make it,
# and the search dialogs (their fixture makes one).
set_tests_properties(PrinterEventsTest StaticPrinterUpdateTest WaypostJobEventsTest PropertySheetEventsTest
                     ExportInputTest ModuleImageTest PropertySheetExportsTest AddressResolutionTest
                     ComponentRegistrationTableTest ConfirmationDialogOlderHistoryTest ManagedListSearchResultsDialogTest
                     SearchResultsDialogTest TcpSearchResultsDialogTest UNCSearchResultsDialogTest
                     PROPERTIES RESOURCE_LOCK policy_settings)
# HKLM "Cluster" makes the machine a cluster node for every process: the tests
# that create it and the tests whose port lookups would see it.
set_tests_properties(PrintDriverTest PrinterPortTest PROPERTIES RESOURCE_LOCK cluster_node)
# The shared I/O component's registration is machine-wide; the port resolver's
# test takes it away for a moment.
# The community published per device address lives under the component's
# key, which the resolver's test removes as a whole.
set_tests_properties(PortResolverTest PortStandInsTest TrebukBidiConnectionTest SNMPCommunityNameTest
                     PROPERTIES RESOURCE_LOCK shared_io)
# The Trebuk connection's port lookups would also see a cluster node.
set_tests_properties(TrebukBidiConnectionTest PROPERTIES RESOURCE_LOCK "shared_io;cluster_node")
# Job-control tickets: the monitor's pipe host, and "JCTPath" in the machine's settings key.
set_tests_properties(JCTRetrieverTest PROPERTIES RESOURCE_LOCK "qzkrvmon_pipe;policy_settings")
# The manager's printer-data members run with the monitor's pipe host and without it.
set_tests_properties(JCTManagerTest PROPERTIES RESOURCE_LOCK qzkrvmon_pipe)
# Applying a destination reads the policy and, for a user without rights, talks to the monitor's pipe host.
set_tests_properties(DestinationApplyTest PROPERTIES RESOURCE_LOCK "qzkrvmon_pipe;policy_settings")
# The client-port set-up writes through the monitor's pipe, makes the
# extension (policy) and looks ports up (cluster node).
set_tests_properties(AutoCreatedClientPortSetupTest PROPERTIES RESOURCE_LOCK "qzkrvmon_pipe;policy_settings;cluster_node")
