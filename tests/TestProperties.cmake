# Tests run in parallel in one Wine prefix. A test that needs a system-wide
# name of fixed spelling (a pipe, a mutex) takes a lock here, for example:
#   set_tests_properties(MonitorChannelTest PROPERTIES RESOURCE_LOCK qzkrvmon_pipe)
# Tests touching the printer-driver directory's "3" folder share this lock.
set_tests_properties(ProfileScopeTest PROPERTIES RESOURCE_LOCK driver_directory)
# clearCache deletes the per-user cache key "...\QZ Print Settings\MPLCache".
set_tests_properties(CachedFileReaderTest PROPERTIES RESOURCE_LOCK mpl_cache)
# The Keravin monitor's pipe has a fixed name: its server, its host and the tests that need it absent.
set_tests_properties(MonitorChannelTest MonitorPipeHostTest PrinterSettingsTest PROPERTIES RESOURCE_LOCK qzkrvmon_pipe)
# The managed print policy's fixed settings values, cache subkey and
# group-policy key. Its trace scopes load a profiler found in the driver
# directory, which would hold the file ProfileScopeTest replaces there.
set_tests_properties(ManagedPrintPolicyTest ManagedPrintPolicyLoadTest
                     PROPERTIES RESOURCE_LOCK "policy_settings;driver_directory")
set_tests_properties(ManagedPrintPolicyParserTest PROPERTIES RESOURCE_LOCK driver_directory)
# The extension's tests run the policy's trace scopes (see above); their
# per-user state lives in a private HKEY_CURRENT_USER, so no policy lock.
set_tests_properties(LumoraSettingsTest LumoraPrintingExtensionTest LXESingletonTest
                     PROPERTIES RESOURCE_LOCK driver_directory)
# The discovery services manager loads the managed print policy when it
# creates its services (the history resolves older entries through it).
set_tests_properties(DiscoveryServicesManagerTest TargetHistoryTest
                     PROPERTIES RESOURCE_LOCK "policy_settings;driver_directory")
