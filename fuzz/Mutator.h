// Mutations of one input into the next, chosen by the target's input shape.
// Deterministic for a given seed, so a run can be repeated.
#pragma once

#include "FuzzTarget.h"

#include <cstdint>
#include <string>
#include <vector>

namespace fuzz {

class Mutator {
public:
    Mutator(InputShape shape, uint64_t seed, size_t maxBytes, std::vector<std::string> dictionary);

    // One to four mutations stacked on base; others may lend it bytes.
    std::string mutate(const std::string& base, const std::vector<std::string>& others);

    // Wine's msxml3 formats a parse error into a fixed stack buffer of
    // 1,024 bytes: a malformed document whose error quotes a name of about
    // 1,000 bytes crashes the process inside msxml3 (Windows' reader
    // differs). That is no fault of the module and would end every XML run
    // at once, hiding other findings, so names (and anything else inside a
    // tag or after '&') are cut to kMaxXmlNameBytes in XML inputs; text
    // between tags keeps any length.
    static constexpr size_t kMaxXmlNameBytes = 200;
    static void capXmlNames(std::string& text);

private:
    uint64_t next();
    size_t below(size_t bound) { return bound ? static_cast<size_t>(next() % bound) : 0; }
    bool chance(unsigned percent) { return below(100) < percent; }

    void applyOne(std::string& data, const std::vector<std::string>& others);
    bool applyText(std::string& data, unsigned op);
    bool applyXml(std::string& data, unsigned op);
    // The span of one element "<name ...>...</name>" starting at a random
    // '<'; false when none is found.
    bool pickElement(const std::string& data, size_t& begin, size_t& end);
    std::string number();
    std::string word();

    InputShape shape_;
    uint64_t state_;
    size_t maxBytes_;
    std::vector<std::string> dictionary_;
};

} // namespace fuzz
