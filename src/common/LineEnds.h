#pragma once

#include <string>
#include <string_view>

namespace relvane
{

// Every line end as "\r\n", also the bare "\n" inside annotations: the capture's text has them so.
std::string WithCrLf(std::string_view strText);

} // namespace relvane
