#include "scene/Variables.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "core/Log.h"

void VariableHolder::GetVariableList(std::vector<VariableInfo>&) const {}

bool VariableHolder::Variable(std::string, std::string&, bool) {
    return false;
}

bool SetVariable(VariableHolder* object, std::string name, std::string text) {
    if (!object) return false;
    return object->Variable(std::move(name), text, true);
}

bool GetVariable(VariableHolder* object, std::string name, std::string& text) {
    if (!object) return false;
    return object->Variable(std::move(name), text, false);
}

namespace {

// Leading blanks, an optional sign and the leading digits; no digits give 0. Saturates rather
// than overflowing on absurdly long digit runs.
int64_t ReadDecimal(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' || text[i] == '\r' ||
                               text[i] == '\v' || text[i] == '\f'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    int64_t value = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        if (value < (int64_t(1) << 40)) value = value * 10 + (text[i] - '0');
        ++i;
    }
    return negative ? -value : value;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

} // namespace

int32_t IntFromText(const std::string& text) {
    if (text.size() > 2 && text[0] == '0' && text[1] == 'x') {
        int64_t value = 0;
        for (size_t i = 2; i < text.size(); ++i) {
            int d = HexDigit(text[i]);
            if (d < 0) break;
            value = value * 16 + d;
            if (value > 0x7FFFFFFF) value = 0x7FFFFFFF; // larger values saturate
        }
        return static_cast<int32_t>(value);
    }
    int64_t value = ReadDecimal(text);
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(value);
}

std::string IntToText(int32_t value) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%d", value);
    return buf;
}

uint8_t BoolFromText(const std::string& text) {
    if (text == "true") return 1;
    // Only the low byte is stored: "256" is false, "2" is true.
    return static_cast<uint8_t>(static_cast<uint64_t>(ReadDecimal(text)) & 0xFF);
}

std::string BoolToText(bool value) {
    return value ? "true" : "false";
}

float FloatFromText(const std::string& text) {
    float value = std::strtof(text.c_str(), nullptr);
    // "inf" and "nan" are not numbers a position can use; they would poison every sum.
    return std::isfinite(value) ? value : 0.0f;
}

std::string FloatToText(float value) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%f", static_cast<double>(value));
    return buf;
}

void LogVariableNotFound(const std::string& name, const char* className) {
    LogMsg("Variable '%s' not found for class %s\n", name.c_str(), className);
}
