// Print paths as the benchmarks store and read them: a destination found on
// the network with its PDLs, ids and the attributes a managed queue carries,
// about 3.4 KB of print-path XML.
#pragma once

#include "destination/PrintPath.h"

#include <memory>
#include <string>

namespace bench {

// The index varies the names and addresses, so history entries differ.
std::unique_ptr<MPrint::PrintPath> samplePrintPath(int index = 0);
std::string samplePrintPathXml(int index = 0);
// "3.4 KB"
std::wstring kilobytes(size_t bytes);

} // namespace bench
