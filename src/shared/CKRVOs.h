// Whether the machine runs a server edition of Windows, read once.
#pragma once

class CKRVOs {
public:
    CKRVOs();
    virtual ~CKRVOs() = default;
    // Product type domain controller (2) or server (3); false when the version cannot be read.
    bool IsServer() const { return isServer_; }

private:
    bool isServer_ = false;
};
