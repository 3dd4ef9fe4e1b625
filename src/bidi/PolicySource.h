// The managed print policy's yes/no answers as the device-communication code
// needs them. The printing extension, which owns the policy and sits above
// this layer, names the source when it is created.
#pragma once

namespace MPrint {

using PolicyBoolSource = bool (*)(const wchar_t* name, bool defaultValue);

// Null removes the source.
void setPolicyBoolSource(PolicyBoolSource source);
// The policy's value, or defaultValue without a source.
bool policyBool(const wchar_t* name, bool defaultValue);

} // namespace MPrint
