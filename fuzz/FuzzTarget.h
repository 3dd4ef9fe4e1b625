// One fuzz target: a reader of untrusted bytes driven input after input in
// one process by the fuzz program (FuzzMain.cpp). A target is one file in
// fuzz/targets/: a FuzzTarget subclass registered with FUZZ_TARGET, plus
// its seed corpus in fuzz/corpus/<name>/ (small files, one input each).
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace fuzz {

// Which mutations suit a target's input.
enum class InputShape {
    Bytes, // binary records: bit flips, numbers in range and out, truncation, repeats
    Text,  // also text: numbers written out, invalid UTF-8, dictionary words
    Xml,   // also XML: nesting, long names, UTF-16, declared encodings, elements
};

class FuzzTarget {
public:
    virtual ~FuzzTarget() = default;
    // Once, before the first input (servers, private registry keys); false
    // ends the run as a set-up failure.
    virtual bool setUp() { return true; }
    // One input. Whatever it changes (registry values, files) is undone
    // before it returns, so that inputs do not depend on each other.
    virtual void run(const std::string& input) = 0;
    // Words worth inserting (element names, header names, field values).
    virtual std::vector<std::string> dictionary() const { return {}; }
};

// A result the reader must never give for any input (a document it wrote
// that it cannot read back, say): the input is saved as a finding and the
// run goes on.
void reportWrongResult(const char* what);

struct TargetEntry {
    const char* name;
    InputShape shape;
    std::unique_ptr<FuzzTarget> (*make)();
};

// Every registered target, in link order.
std::vector<TargetEntry>& registeredTargets();

struct TargetRegistration {
    TargetRegistration(const char* name, InputShape shape, std::unique_ptr<FuzzTarget> (*make)());
};

} // namespace fuzz

// FUZZ_TARGET(ClassName, "name", fuzz::InputShape::Xml); at namespace scope.
#define FUZZ_TARGET(Class, name, shape)                                                                    \
    static const ::fuzz::TargetRegistration fuzzRegistration##Class(                                       \
        name, shape, []() -> std::unique_ptr<::fuzz::FuzzTarget> { return std::make_unique<Class>(); })
