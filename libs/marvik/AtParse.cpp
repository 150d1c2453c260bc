// AtParse: reading the fields of AT answers and reports.
#include "AtParse.h"

#include "marvik.h"

namespace marvik {

namespace {

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    return text;
}

bool StartsWith(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

// The part after "<prefix>:", or the whole line when it has no such prefix.
std::string_view AfterPrefix(std::string_view line)
{
    if (!line.empty() && (line.front() == '+' || line.front() == '^')) {
        const size_t colon = line.find(':');
        if (colon != std::string_view::npos)
            return line.substr(colon + 1);
    }
    return line;
}

}  // namespace

int AtFields::Number(size_t i, int fallback) const
{
    if (i >= values.size() || values[i].empty() || values[i].size() > 9)
        return fallback;
    int value = 0;
    for (const char c : values[i]) {
        if (c < '0' || c > '9')
            return fallback;
        value = value * 10 + (c - '0');
    }
    return value;
}

AtFields SplitFields(std::string_view line)
{
    AtFields fields;
    const std::string_view rest = AfterPrefix(line);
    std::string field;
    bool quoted = false, inQuotes = false, any = false;
    for (const char c : rest) {
        any = true;
        if (c == '"') {
            inQuotes = !inQuotes;
            quoted = true;
            continue;
        }
        if (c == ',' && !inQuotes) {
            fields.values.emplace_back(quoted ? std::string_view(field) : Trim(field));
            fields.quoted.push_back(quoted);
            field.clear();
            quoted = false;
            continue;
        }
        if (!inQuotes && c == ' ' && field.empty())
            continue;
        field += c;
    }
    if (any) {
        fields.values.emplace_back(quoted ? std::string_view(field) : Trim(field));
        fields.quoted.push_back(quoted);
    }
    return fields;
}

int ParseSignalDbm(std::string_view line)
{
    const AtFields fields = SplitFields(line);
    const int rssi = fields.Number(0);
    if (rssi < 0 || rssi > 31)
        return kUnknownDbm;  // 99: not known or not detectable
    return -113 + 2 * rssi;
}

int SignalBars(int dbm)
{
    // Steps of about 10 dB, as phones show them: -73 dBm and better is full.
    constexpr int kThresholds[] = {-109, -101, -93, -83, -73};
    if (dbm == kUnknownDbm)
        return 0;
    int bars = 0;
    for (const int threshold : kThresholds)
        if (dbm >= threshold)
            ++bars;
    return bars;
}

bool ParseRegistration(std::string_view line, Registration& out)
{
    const AtFields fields = SplitFields(line);
    if (fields.size() == 0)
        return false;
    // The query's answer has <n> first and an unquoted <stat> second; a
    // report starts with <stat>, and its second field (<lac>) is quoted.
    const bool answer = fields.size() >= 2 && !fields.quoted[1] && fields.Number(1) >= 0;
    const size_t statField = answer ? 1 : 0;
    const int stat = fields.Number(statField);
    if (stat < 0 || stat > 10)
        return false;
    out.stat = stat;
    out.accessTech = fields.Number(statField + 3);
    return true;
}

bool ParseOperator(std::string_view line, std::string& name, int& accessTech)
{
    const AtFields fields = SplitFields(line);
    if (fields.Number(0) < 0)
        return false;
    name = fields.size() >= 3 ? fields.values[2] : std::string();
    accessTech = fields.Number(3);
    return true;
}

int ParseSimState(std::string_view line)
{
    const std::string_view value = Trim(AfterPrefix(line));
    if (value == "READY")
        return MODEM_SIM_READY;
    if (value == "SIM PIN")
        return MODEM_SIM_PIN;
    if (value == "SIM PUK")
        return MODEM_SIM_PUK;
    return MODEM_SIM_UNKNOWN;
}

int ParseTriesLeft(std::string_view line)
{
    return SplitFields(line).Number(1);
}

bool ParseListHeader(std::string_view line, StoredHeader& out)
{
    if (!StartsWith(line, "+CMGL:"))
        return false;
    const AtFields fields = SplitFields(line);
    if (fields.size() < 3)
        return false;
    out.index = fields.Number(0);
    out.status = fields.Number(1);
    out.length = fields.Number(fields.size() - 1);
    return out.index >= 0 && out.status >= 0 && out.length >= 0;
}

bool ParseReadHeader(std::string_view line, StoredHeader& out)
{
    if (!StartsWith(line, "+CMGR:"))
        return false;
    const AtFields fields = SplitFields(line);
    if (fields.size() < 2)
        return false;
    out.index = -1;
    out.status = fields.Number(0);
    out.length = fields.Number(fields.size() - 1);
    return out.status >= 0 && out.length >= 0;
}

int ParseNewMessageIndex(std::string_view line)
{
    if (!StartsWith(line, "+CMTI:"))
        return -1;
    return SplitFields(line).Number(1);
}

int ParseMessageReference(std::string_view line)
{
    if (!StartsWith(line, "+CMGS:"))
        return -1;
    return SplitFields(line).Number(0);
}

bool ParseUssd(std::string_view line, UssdReport& out)
{
    if (!StartsWith(line, "+CUSD:"))
        return false;
    const AtFields fields = SplitFields(line);
    out.status = fields.Number(0);
    if (out.status < 0)
        return false;
    out.hasText = fields.size() >= 2;
    out.text = out.hasText ? fields.values[1] : std::string();
    out.dcs = fields.Number(2, 15);
    return true;
}

std::string IdentityValue(std::string_view line, std::string_view prefix)
{
    std::string_view value = line;
    if (StartsWith(value, prefix))
        value.remove_prefix(prefix.size());
    value = Trim(value);
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        value = value.substr(1, value.size() - 2);
    return std::string(value);
}

bool IsPinCode(std::wstring_view code, size_t minDigits, size_t maxDigits)
{
    if (code.size() < minDigits || code.size() > maxDigits)
        return false;
    for (const wchar_t c : code)
        if (c < L'0' || c > L'9')
            return false;
    return true;
}

bool ToCommandText(std::wstring_view text, std::string& out)
{
    out.clear();
    for (const wchar_t c : text) {
        if (c < 0x20 || c > 0x7E || c == L'"')
            return false;
        out += static_cast<char>(c);
    }
    return true;
}

}  // namespace marvik
