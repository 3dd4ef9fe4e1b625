// "Printing" to a folder on a removable drive, named by the pseudo-UNC
// address "\\QZUSBPrintKey\" + the folder ("E", "E:\", "E:\jobs"). Its
// paths ask for PostScript whatever the device, keep no jobs and carry no
// configurator or feature accessor. Offered only when the user setting
// "USBKeyPrinting" is on.
#pragma once

#include "discovery/UNCPathDiscovery.h"

namespace MPrint {

class USBPrintKeyDiscovery : public UNCPathDiscovery {
public:
    static constexpr wchar_t kAddressPrefix[] = L"\\\\QZUSBPrintKey\\";
    static constexpr wchar_t kPrintDirectory[] = L"qzprintdirectory";
    static constexpr wchar_t kTestFile[] = L"qzcpdTestFile";
    static constexpr uint32_t kNotRemovable = 6;

    // The browse title is the component's registered display name, when it
    // has one.
    USBPrintKeyDiscovery();
    ~USBPrintKeyDiscovery() override;

    // With "USBKeyPrinting" on: starts the service and answers
    // kCapSearch | kCapResolve; else 0.
    uint32_t GetSearchCapabilities() override;
    // A folder browse over the drives (flags 8 without 32, else 3): 0 with
    // the picked folder announced, 5 when nothing was picked.
    uint32_t Search(HWND window, DestinationContext* context, PrintPathList& list, uint32_t flags) override;
    // Any address beginning with the prefix.
    uint32_t Resolve(HWND owner, const std::wstring& address, const std::wstring& nickname,
                     const std::wstring& displayString, PrintPathList& list) override;
    // A write test on the drive named after the prefix: 0 written, 6 not a
    // removable drive, 14 refused, 2 not writable, 3 no path or no drive
    // named. Leaves the print directory on the drive.
    uint32_t ValidateDevice(HWND owner, PrintPath* path) override;

    // The drive root ("E:\") an address names, empty when it names none.
    static std::wstring driveRootOf(const std::wstring& address);
    static int CALLBACK usbBrowseCallback(HWND dialog, UINT message, LPARAM parameter, LPARAM data);

private:
    PrintPath* makeKeyPath(const std::wstring& address, const std::wstring& display, DWORD manuallyEntered) const;

    std::wstring title_ = L"QZ Print USB";
};

} // namespace MPrint
