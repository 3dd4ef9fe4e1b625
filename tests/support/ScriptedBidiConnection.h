// A device answering OID questions from a table written by the test: Get
// answers exact OIDs (the first unknown one fails the call, as the XML
// connections do), GetNext moves each request to the next OID of the table
// in numeric order ("Invalid" past the end). Faults are switched on by
// field. Calls are recorded.
#pragma once

#include "bidi/BidiPrinterConnectionIntf.h"

#include <map>
#include <string>
#include <vector>

namespace testenv {

class ScriptedBidiConnection : public MPrint::BidiPrinterConnectionIntf {
public:
    struct ConnectCall {
        std::wstring printer;  // "(null)" for none
        std::wstring address;
        DWORD kind;
        DWORD port;
    };

    ScriptedBidiConnection& integer(const std::string& oid, LONG value, DWORD count = 0);
    ScriptedBidiConnection& text(const std::string& oid, const std::string& value);
    ScriptedBidiConnection& binary(const std::string& oid, const std::string& bytes);
    void forget(const std::string& oid);

    bool Connect(const wchar_t* printerName, const wchar_t* address, DWORD addressKind, DWORD port) override;
    bool Open() override;
    bool Close() override;
    bool Get(MPrint::BidiRequest* requests, DWORD count) override;
    bool GetNext(MPrint::BidiRequest* requests, DWORD count) override;
    bool IsHttpConnection() override { return false; }

    // Faults.
    bool connectSucceeds = true;
    bool getFails = false;      // Get answers false and touches nothing
    bool getNextFails = false;  // GetNext answers false and touches nothing
    bool getNextStuck = false;  // GetNext answers the request's own OID again (a device that never advances)

    // Record.
    std::vector<ConnectCall> connects;
    std::vector<std::string> asked;  // "get <oid>" / "next <oid>", one per request
    int closes = 0;

    // Numeric order of dotted OIDs ("1.10" after "1.9"); a non-numeric part
    // compares as text.
    static bool oidLess(const std::string& a, const std::string& b);

private:
    struct OidLess {
        bool operator()(const std::string& a, const std::string& b) const { return oidLess(a, b); }
    };
    std::map<std::string, MPrint::BidiValue, OidLess> table_;
};

} // namespace testenv
