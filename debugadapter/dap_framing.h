// The Debug Adapter Protocol's base framing: every message is a header
// block ("Content-Length: N", other headers ignored, each line ending in
// CRLF, an empty line last) and N bytes of JSON. The reader takes bytes as
// they come and hands out whole bodies; once the framing is broken nothing
// after it can be trusted, so it stays broken and says why.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// A header block longer than this is no DAP header.
constexpr std::size_t kMaxDapHeader = 4096;
// The largest body taken: far above any request an editor sends.
constexpr std::size_t kMaxDapBody = std::size_t(16) << 20;

class DapFrameReader {
  public:
    void Feed(std::string_view bytes);
    // The next whole body, or nullopt when more bytes are needed or the
    // framing is broken.
    std::optional<std::string> Next();
    bool broken() const { return !why_.empty(); }
    const std::string& why() const { return why_; }
    // Bytes of a message begun but not yet whole.
    bool pending() const { return !buffer_.empty(); }

  private:
    std::string buffer_;
    std::string why_;
};

// body framed for sending.
std::string DapFrameText(const std::string& body);
