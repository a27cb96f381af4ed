#include "dap_framing.h"
#include "trimmed_text.h"

#include <algorithm>
#include <cctype>

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

// The body length the header block announces, or why it announces none.
std::optional<std::size_t> ContentLength(const std::string& block, std::string* why) {
    std::optional<std::size_t> length;
    std::size_t from = 0;
    while (from < block.size()) {
        std::size_t end = block.find("\r\n", from);
        if (end == std::string::npos)
            end = block.size();
        const std::string line = block.substr(from, end - from);
        from = end + 2;
        const std::size_t colon = line.find(':');
        if (colon == std::string::npos || colon == 0) {
            *why = "a header line without a name and a colon";
            return std::nullopt;
        }
        if (Lower(Trimmed(line.substr(0, colon))) != "content-length")
            continue;
        const std::string value = Trimmed(line.substr(colon + 1));
        if (value.empty() || value.size() > 9 ||
            !std::all_of(value.begin(), value.end(),
                         [](unsigned char c) { return std::isdigit(c); })) {
            *why = "Content-Length is not a count of bytes";
            return std::nullopt;
        }
        const std::size_t n = std::stoul(value);
        if (length && *length != n) {
            *why = "two Content-Length headers that differ";
            return std::nullopt;
        }
        length = n;
    }
    if (!length)
        *why = "a header without Content-Length";
    else if (*length > kMaxDapBody)
        *why = "Content-Length is larger than a message may be";
    else if (*length == 0)
        *why = "Content-Length 0: a message has a body";
    else
        return length;
    return std::nullopt;
}

} // namespace

void DapFrameReader::Feed(std::string_view bytes) {
    if (!broken())
        buffer_.append(bytes);
}

std::optional<std::string> DapFrameReader::Next() {
    if (broken())
        return std::nullopt;
    const std::size_t end = buffer_.find("\r\n\r\n");
    if (end == std::string::npos) {
        if (buffer_.size() > kMaxDapHeader)
            why_ = "a header longer than " + std::to_string(kMaxDapHeader) + " bytes";
        return std::nullopt;
    }
    if (end > kMaxDapHeader) {
        why_ = "a header longer than " + std::to_string(kMaxDapHeader) + " bytes";
        return std::nullopt;
    }
    std::string why;
    const std::optional<std::size_t> length = ContentLength(buffer_.substr(0, end), &why);
    if (!length) {
        why_ = why;
        buffer_.clear();
        return std::nullopt;
    }
    if (buffer_.size() < end + 4 + *length)
        return std::nullopt;
    std::string body = buffer_.substr(end + 4, *length);
    buffer_.erase(0, end + 4 + *length);
    return body;
}

std::string DapFrameText(const std::string& body) {
    return "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}
