#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Named, typed variables of the engine's classes. Each class answers for its own names in
// `Variable` and hands everything else to its base class; there is no central registry.

enum VariableKind : uint32_t {
    VAR_STRING = 0,
    VAR_BOOL = 1,
    VAR_INT = 2,
    VAR_COLOR = 3,
    VAR_VECTOR = 4, // listed whole ("vPosition"), set and read by component ("vPosition.x")
};

// One descriptor. In a class's variable list `values` is empty; in the template-variable
// declarations of a library group it holds one text, the default.
struct VariableInfo {
    std::string name;
    uint32_t kind = VAR_STRING;
    std::vector<std::string> values;
};

class VariableHolder {
  public:
    virtual ~VariableHolder() = default;
    // Appends the class's descriptors in its declared order (the root appends nothing).
    virtual void GetVariableList(std::vector<VariableInfo>& list) const;
    // set: parse `value` into the named variable; otherwise format the variable into `value`.
    // Returns whether the name was handled. The root handles nothing and logs nothing.
    virtual bool Variable(std::string name, std::string& value, bool set);
};

// The one entry point for setting a variable from outside its class.
[[nodiscard]] bool SetVariable(VariableHolder* object, std::string name, std::string text);
// Reads a variable as text; false (with the class chain's messages) when no class knows it.
[[nodiscard]] bool GetVariable(VariableHolder* object, std::string name, std::string& text);

// Text conversions shared by every class, so that all variables of one kind behave alike.
int32_t IntFromText(const std::string& text); // "0x..." hexadecimal (saturating), else decimal
std::string IntToText(int32_t value);
uint8_t BoolFromText(const std::string& text); // "true", else the low 8 bits of a decimal number
std::string BoolToText(bool value);
float FloatFromText(const std::string& text);
std::string FloatToText(float value);

// Logs "Variable '%s' not found for class %s\n".
void LogVariableNotFound(const std::string& name, const char* className);

// Helpers for a class's `Variable`: handle one field of a kind in set or get mode.
inline void VarString(std::string& field, std::string& value, bool set) {
    if (set)
        field = value;
    else
        value = field;
}
inline void VarInt(int32_t& field, std::string& value, bool set) {
    if (set)
        field = IntFromText(value);
    else
        value = IntToText(field);
}
inline void VarUInt(uint32_t& field, std::string& value, bool set) {
    if (set)
        field = static_cast<uint32_t>(IntFromText(value));
    else
        value = IntToText(static_cast<int32_t>(field));
}
inline void VarBool(uint8_t& field, std::string& value, bool set) {
    if (set)
        field = BoolFromText(value);
    else
        value = BoolToText(field != 0);
}
inline void VarFloat(float& field, std::string& value, bool set) {
    if (set)
        field = FloatFromText(value);
    else
        value = FloatToText(field);
}
