// Picks the connection that talks to a device from the text of a port or
// device address. The connections come back unconnected and owned by the
// caller; allocation failures give null.
#pragma once

#include "bidi/BidiPrinterConnectionIntf.h"

#include <string>

namespace MPrint {

// "USB..." (case-sensitive): the device-id connection for a PCL3 driver of
// the current destination's queue, else the composite USB connection. Any
// other name: the LEDM connection when the LEDM probe answers, else the
// Trebuk port connection for the current destination's queue. Null for null.
BidiPrinterConnectionIntf* createBidiConnection(const wchar_t* name);
// Null for a null or empty printer name.
BidiPrinterConnectionIntf* createTrebukBidiConnection(const wchar_t* printerName);
// The driver of the current destination's queue declares "VerifyPDL" = "PCL3".
bool isCurrentDriverPcl3();
// The queue's driver key (HKLM) holds "VerifyPDL" equal to the text, case
// and all; false when the queue, its driver key or the value is missing.
bool driverVerifyPdlIs(const std::wstring& printerName, const wchar_t* pdl);

} // namespace MPrint
