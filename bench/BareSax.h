// The baseline of every XML case: one MSXML SAX reader, created once, with a
// content handler that does nothing, fed the document's bytes as a memory
// stream the way the module's reader is. COM must already be initialised on
// the calling thread.
#pragma once

#include "core/ComGuids.h"

#include <string>

namespace bench {

class BareSax {
public:
    BareSax();
    ~BareSax();
    BareSax(const BareSax&) = delete;
    BareSax& operator=(const BareSax&) = delete;

    bool ready() const { return reader_ != nullptr; }
    bool parse(const std::string& bytes);

private:
    ISAXXMLReader* reader_ = nullptr;
    ISAXContentHandler* handler_ = nullptr;
};

} // namespace bench
