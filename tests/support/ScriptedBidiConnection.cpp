#include "support/ScriptedBidiConnection.h"

#include <cstdlib>

namespace testenv {

namespace {

std::vector<std::string> parts(const std::string& oid)
{
    std::vector<std::string> out;
    size_t start = 0;
    for (;;) {
        const size_t dot = oid.find('.', start);
        out.push_back(oid.substr(start, dot == std::string::npos ? std::string::npos : dot - start));
        if (dot == std::string::npos)
            return out;
        start = dot + 1;
    }
}

bool isNumber(const std::string& text)
{
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

} // namespace

bool ScriptedBidiConnection::oidLess(const std::string& a, const std::string& b)
{
    const std::vector<std::string> left = parts(a);
    const std::vector<std::string> right = parts(b);
    for (size_t i = 0; i < left.size() && i < right.size(); ++i) {
        if (left[i] == right[i])
            continue;
        if (isNumber(left[i]) && isNumber(right[i]))
            return std::strtoull(left[i].c_str(), nullptr, 10) < std::strtoull(right[i].c_str(), nullptr, 10);
        return left[i] < right[i];
    }
    return left.size() < right.size();
}

ScriptedBidiConnection& ScriptedBidiConnection::integer(const std::string& oid, LONG value, DWORD count)
{
    MPrint::BidiValue answer;
    answer.status = MPrint::BidiHasValue;
    answer.type = MPrint::BidiInteger;
    answer.integer = value;
    answer.count = count;
    table_[oid] = answer;
    return *this;
}

ScriptedBidiConnection& ScriptedBidiConnection::text(const std::string& oid, const std::string& value)
{
    MPrint::BidiValue answer;
    answer.status = MPrint::BidiHasValue;
    answer.type = MPrint::BidiText;
    answer.text = value;
    table_[oid] = answer;
    return *this;
}

ScriptedBidiConnection& ScriptedBidiConnection::binary(const std::string& oid, const std::string& bytes)
{
    MPrint::BidiValue answer;
    answer.status = MPrint::BidiHasValue;
    answer.type = MPrint::BidiBinary;
    answer.text = bytes;
    answer.binary.assign(bytes.begin(), bytes.end());
    answer.binaryLength = static_cast<DWORD>(bytes.size());
    table_[oid] = answer;
    return *this;
}

void ScriptedBidiConnection::forget(const std::string& oid)
{
    table_.erase(oid);
}

bool ScriptedBidiConnection::Connect(const wchar_t* printerName, const wchar_t* address, DWORD addressKind,
                                     DWORD port)
{
    connects.push_back({printerName ? printerName : L"(null)", address ? address : L"", addressKind, port});
    return connectSucceeds;
}

bool ScriptedBidiConnection::Open()
{
    return connectSucceeds;
}

bool ScriptedBidiConnection::Close()
{
    ++closes;
    return true;
}

bool ScriptedBidiConnection::Get(MPrint::BidiRequest* requests, DWORD count)
{
    if (getFails || !requests)
        return false;
    for (DWORD i = 0; i < count; ++i) {
        asked.push_back("get " + requests[i].oid);
        const auto it = table_.find(requests[i].oid);
        if (it == table_.end())
            return false;
        requests[i].value = it->second;
    }
    return true;
}

bool ScriptedBidiConnection::GetNext(MPrint::BidiRequest* requests, DWORD count)
{
    if (getNextFails || !requests)
        return false;
    for (DWORD i = 0; i < count; ++i) {
        MPrint::BidiRequest& request = requests[i];
        asked.push_back("next " + request.oid);
        auto it = getNextStuck ? table_.find(request.oid) : table_.upper_bound(request.oid);
        if (getNextStuck && it == table_.end())
            it = table_.upper_bound(request.oid);
        if (it == table_.end()) {
            request.oid = MPrint::kInvalidOID;
            request.value = MPrint::BidiValue();
        } else {
            request.oid = it->first;
            request.value = it->second;
        }
    }
    return true;
}

} // namespace testenv
