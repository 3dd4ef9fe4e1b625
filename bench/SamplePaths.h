// Print paths as the benchmarks store and read them: a destination found on
// the network with its PDLs, ids and the attributes a managed queue carries,
// about 3.4 KB of print-path XML; and a stored history read bare.
#pragma once

#include "BareSax.h"

#include "core/Win32.h"
#include "destination/PrintPath.h"

#include <memory>
#include <string>
#include <vector>

namespace bench {

// The index varies the names and addresses, so history entries differ.
std::unique_ptr<MPrint::PrintPath> samplePrintPath(int index = 0);
std::string samplePrintPathXml(int index = 0);
// "3.4 KB"
std::wstring kilobytes(size_t bytes);

// What any reader of a stored target history has to do: the counts, then
// per entry its age, its document and one parse of the document's UTF-8
// bytes. The buffers are reused between calls.
bool bareHistoryLoad(HKEY key, BareSax& sax, std::vector<wchar_t>& buffer, std::string& utf8);

} // namespace bench
