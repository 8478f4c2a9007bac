// Values as JSON, for the trace and for the tools' reports and answers, which nlohmann-json
// writes. JSON text is UTF-8, while the names it carries (of folders, files, a settings file's
// keys) are whatever bytes a disk or a file holds: each byte that is not part of well-formed
// UTF-8 goes in as the four characters \xNN, as the tools print such a byte (shown_text.h), so
// that the JSON stays valid UTF-8 and says what the text report says.
#pragma once

#include <nlohmann/json_fwd.hpp>
#include <string>
#include <string_view>

using Json = nlohmann::ordered_json;  // members in the order they are set

// text as a JSON string value, by the rule above.
Json jsonText(std::string_view text);

// value as a JSON number: a whole number without a fraction; a value a float holds exactly in the
// shortest form that reads back as that float (as floatText writes it, but in the library's
// notation: 0.0001 where floatText writes 1e-04, 100000 for 1e+05); -0 keeps its sign (-0.0);
// JSON has no NaN or infinity, so those go as text ("nan", "-nan", "inf", "-inf").
Json jsonNumber(double value);
