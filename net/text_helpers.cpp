#include "net/text_helpers.h"

#include <climits>
#include <cstring>

namespace quorvel {
namespace {

bool IsLead(unsigned char c) { return c >= 0x80; }

unsigned char FoldAscii(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

// Compares `what` with the bytes of `text` from `at`. When ignoring case a
// byte is folded only when it is a character of its own in its text, never
// when it is the second byte of a pair.
bool MatchAt(std::string_view text, std::size_t at, std::string_view what, Case mode) {
    if (mode == Case::Exact) {
        return std::memcmp(text.data() + at, what.data(), what.size()) == 0;
    }
    bool textTrail = false;
    bool whatTrail = false;
    for (std::size_t j = 0; j < what.size(); ++j) {
        const auto a = static_cast<unsigned char>(text[at + j]);
        const auto b = static_cast<unsigned char>(what[j]);
        const unsigned char fa = (!textTrail && !IsLead(a)) ? FoldAscii(a) : a;
        const unsigned char fb = (!whatTrail && !IsLead(b)) ? FoldAscii(b) : b;
        if (fa != fb) {
            return false;
        }
        textTrail = !textTrail && IsLead(a);
        whatTrail = !whatTrail && IsLead(b);
    }
    return true;
}

int ToPosition(std::size_t index) {
    return index < static_cast<std::size_t>(INT_MAX) ? static_cast<int>(index) + 1 : -1;
}

}  // namespace

int FindText(std::string_view text, std::string_view what, int start, Case mode) {
    if (start < 1) {
        start = 1;
    }
    const std::size_t n = text.size();
    std::size_t i = static_cast<std::size_t>(start) - 1;
    if (what.empty()) {
        return i < n ? ToPosition(i) : -1;
    }
    while (i < n) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (IsLead(c) && i + 1 >= n) {
            return -1;  // a lead byte without its second byte ends the text
        }
        if (what.size() <= n - i && MatchAt(text, i, what, mode)) {
            return ToPosition(i);
        }
        i += IsLead(c) ? 2 : 1;
    }
    return -1;
}

bool StartsWithText(std::string_view text, std::string_view prefix, Case mode) {
    return prefix.size() <= text.size() && MatchAt(text, 0, prefix, mode);
}

std::string RemoveAll(std::string_view text, std::string_view what) {
    if (what.empty()) {
        return std::string(text);
    }
    std::string result;
    result.reserve(text.size());
    std::size_t from = 0;
    for (;;) {
        const int pos = FindText(text, what, ToPosition(from));
        if (pos < 1) {
            break;
        }
        const std::size_t at = static_cast<std::size_t>(pos) - 1;
        result.append(text.substr(from, at - from));
        from = at + what.size();
    }
    result.append(text.substr(from));
    return result;
}

std::string LowerAscii(std::string_view text) {
    std::string result(text);
    for (std::size_t i = 0; i < result.size(); ++i) {
        const auto c = static_cast<unsigned char>(result[i]);
        if (IsLead(c)) {
            ++i;  // both bytes of a pair stay
        } else {
            result[i] = static_cast<char>(FoldAscii(c));
        }
    }
    return result;
}

std::string TrimSpaces(std::string_view text) {
    const std::size_t n = text.size();
    std::size_t begin = n;
    std::size_t end = 0;
    for (std::size_t i = 0; i < n;) {
        const auto c = static_cast<unsigned char>(text[i]);
        const std::size_t length = (IsLead(c) && i + 1 < n) ? 2 : 1;
        const bool space = c == ' ' ||
            (length == 2 && c == 0xA1 && static_cast<unsigned char>(text[i + 1]) == 0xA1);
        if (!space) {
            if (begin == n) {
                begin = i;
            }
            end = i + length;
        }
        i += length;
    }
    return begin < end ? std::string(text.substr(begin, end - begin)) : std::string();
}

std::string_view AsText(std::string_view bytes) {
    const std::size_t zero = bytes.find('\0');
    return zero == std::string_view::npos ? bytes : bytes.substr(0, zero);
}

std::string_view SchemePrefix(std::string_view address) {
    for (std::string_view scheme : {std::string_view("https://"), std::string_view("http://")}) {
        if (StartsWithText(address, scheme, Case::Ignore)) {
            return address.substr(0, scheme.size());
        }
    }
    return {};
}

bool IsSecureAddress(std::string_view address) {
    return SchemePrefix(address).size() == 8;
}

namespace {

// Host and port of an address: after the scheme prefix, up to the first "/".
std::string_view Authority(std::string_view address) {
    std::string_view rest = address.substr(SchemePrefix(address).size());
    const int slash = FindText(rest, "/");
    return slash >= 1 ? rest.substr(0, static_cast<std::size_t>(slash) - 1) : rest;
}

}  // namespace

std::string UrlHost(std::string_view address) {
    std::string_view host = Authority(address);
    const int colon = FindText(host, ":");
    if (colon >= 1) {
        host = host.substr(0, static_cast<std::size_t>(colon) - 1);
    }
    return LowerAscii(host);
}

std::string UrlPath(std::string_view address) {
    const std::string_view rest = address.substr(SchemePrefix(address).size());
    const int slash = FindText(rest, "/");
    return slash >= 1 ? std::string(rest.substr(static_cast<std::size_t>(slash) - 1))
                      : std::string("/");
}

int UrlPort(std::string_view address) {
    const std::string_view authority = Authority(address);
    const int colon = FindText(authority, ":");
    if (colon < 1) {
        return IsSecureAddress(address) ? 443 : 80;
    }
    int port = 0;
    for (std::size_t i = static_cast<std::size_t>(colon); i < authority.size(); ++i) {
        const char c = authority[i];
        if (c < '0' || c > '9') {
            break;
        }
        port = port * 10 + (c - '0');
        if (port > 999999) {
            return 999999;
        }
    }
    return port;
}

std::string TextBetween(std::string_view source, std::string_view startMarker,
                        std::string_view endMarker) {
    const int start = FindText(source, startMarker);
    if (start < 1) {
        return {};
    }
    const std::string_view rest =
        source.substr(static_cast<std::size_t>(start) - 1 + startMarker.size());
    const int end = FindText(rest, endMarker);
    if (end < 1) {
        return {};
    }
    return std::string(rest.substr(0, static_cast<std::size_t>(end) - 1));
}

}  // namespace quorvel
