// One named capability of a queue: read from a job-control ticket, rendered
// as the text stored in the queue's printer data (the name is the value's
// name) and taken back from that text. State: -1 never read from a ticket,
// then 1 or 0 for how the last read ended (only read changes it). Valid: the
// feature has a value to store; every operation sets it to its own result
// unless its class says otherwise.
#pragma once

#include <string>

namespace MPrint {
class XMLTicket;
}

// Every feature XPath of a job-control ticket starts here.
inline constexpr wchar_t kJCTFeaturePath[] = L"/Capabilities/Task/Values/Feature";

class JCTFeature {
public:
    explicit JCTFeature(std::wstring name) : name_(std::move(name)) {}
    virtual ~JCTFeature() = default;
    JCTFeature(const JCTFeature&) = delete;
    JCTFeature& operator=(const JCTFeature&) = delete;

    virtual bool setDefaults() = 0;
    virtual bool getValue(std::wstring& text) = 0;
    virtual bool setValue(const std::wstring& text) = 0;
    virtual bool read(MPrint::XMLTicket* ticket) = 0;

    // False when the name is empty.
    bool getName(std::wstring& name) const
    {
        name = name_;
        return !name_.empty();
    }
    bool isValid() const { return valid_; }
    void setValid(bool valid) { valid_ = valid; }
    int getState() const { return state_; }

protected:
    // Records a read's outcome: state 1 or 0, valid the same; answers it.
    bool readDone(bool ok)
    {
        state_ = ok ? 1 : 0;
        valid_ = ok;
        return ok;
    }
    // Sets valid to the result and answers it.
    bool result(bool ok)
    {
        valid_ = ok;
        return ok;
    }

private:
    std::wstring name_;
    int state_ = -1;
    bool valid_ = false;
};
