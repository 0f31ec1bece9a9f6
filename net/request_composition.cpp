#include "net/request_composition.h"

#include "net/text_helpers.h"

namespace quorvel {

std::string NormalizeAddress(std::string_view address) {
    if (!SchemePrefix(address).empty()) {
        return std::string(address);
    }
    std::string normalized = "http://";
    normalized.append(address);
    return normalized;
}

std::string ChooseUserAgent(std::string_view headerText) {
    if (!ContainsText(headerText, "User-Agent:", Case::Ignore)) {
        return std::string(kDefaultUserAgent);
    }
    // The cut is exact: a line written "user-agent:" gives an empty agent,
    // and the line itself still goes out with the header text.
    return TrimSpaces(TextBetween(headerText, "User-Agent:", "\r\n"));
}

std::uint32_t RequestFlags(bool secure, bool cookiesGiven, bool followRedirects) {
    if (secure) {
        return kFlagSecure;
    }
    std::uint32_t flags = kFlagReload | kFlagNeedFile;
    if (cookiesGiven) {
        flags |= kFlagNoCookies;
    }
    if (!followRedirects) {
        flags |= kFlagNoAutoRedirect;
    }
    return flags | kFlagIgnoreRedirectToHttps;
}

std::string CompleteHeaders(std::string_view headerText, std::string_view normalizedAddress,
                            std::string_view verb, std::string_view body,
                            std::string_view cookies) {
    std::string headers(headerText);
    if (!ContainsText(headers, "Accept", Case::Ignore)) {
        headers.append(kDefaultAcceptLine);
    }
    if (ContainsText(headers, kNoRefererMarker, Case::Ignore)) {
        headers = RemoveAll(headers, kNoRefererMarker);
    } else if (!ContainsText(headers, "Referer", Case::Ignore)) {
        headers.append("Referer: ").append(normalizedAddress).append("\r\n");
    }
    if (!ContainsText(headers, "Accept-Language", Case::Ignore)) {
        headers.append(kDefaultLanguageLine);
    }
    if (verb == "POST" && !body.empty()) {
        if (!ContainsText(headers, "Content-Type", Case::Ignore)) {
            headers.append(kDefaultContentTypeLine);
        }
        if (!ContainsText(headers, "Content-Length", Case::Ignore)) {
            headers.append("Content-Length: ").append(std::to_string(body.size())).append("\r\n");
        }
        if (!cookies.empty()) {
            headers.append("Cookie: ").append(cookies).append("\r\n\r\n");
        }
    }
    return headers;
}

RequestPlan PlanRequest(const RequestRecord& request) {
    RequestPlan plan;
    plan.address = NormalizeAddress(AsText(request.Slot(1)));
    plan.verb = std::string(AsText(request.Slot(2)));
    const std::string_view proxy = AsText(request.Slot(3));
    const std::string_view headerText = AsText(request.Slot(4));
    const std::string_view body = request.Slot(5);
    const std::string_view cookies = AsText(request.Slot(6));
    const bool followRedirects = AsText(request.Slot(7)) == kFollowRedirects;

    plan.secure = IsSecureAddress(plan.address);
    plan.host = UrlHost(plan.address);
    plan.path = UrlPath(plan.address);
    plan.port = UrlPort(plan.address);
    plan.portValid = plan.port >= 0 && plan.port <= 65535;
    plan.userAgent = ChooseUserAgent(headerText);
    plan.useProxy = !proxy.empty();
    if (plan.useProxy) {
        plan.proxyList = std::string(kProxyListPrefix).append(proxy);
    }
    plan.flags = RequestFlags(plan.secure, !TrimSpaces(cookies).empty(), followRedirects);
    plan.headers = CompleteHeaders(headerText, plan.address, plan.verb, body, cookies);
    if (plan.verb == "GET") {
        plan.send = SendMode::Headers;
    } else if (plan.verb == "POST") {
        plan.send = body.empty() ? SendMode::Headers : SendMode::WithBody;
    }
    return plan;
}

std::vector<CookieToStore> CookiesToStore(std::string_view rawHeaders, std::string_view host) {
    std::vector<CookieToStore> cookies;
    constexpr std::string_view kHeaderName = "Set-Cookie:";
    std::size_t lineStart = 0;
    while (lineStart < rawHeaders.size()) {
        std::size_t lineEnd = rawHeaders.find('\n', lineStart);
        if (lineEnd == std::string_view::npos) {
            lineEnd = rawHeaders.size();
        }
        std::string_view line = rawHeaders.substr(lineStart, lineEnd - lineStart);
        lineStart = lineEnd + 1;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (!StartsWithText(line, kHeaderName, Case::Ignore)) {
            continue;
        }
        line.remove_prefix(kHeaderName.size());
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) {
            line.remove_prefix(1);
        }
        CookieToStore cookie;
        cookie.url = std::string("http://").append(host);
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) {
            cookie.data = std::string(line);
        } else {
            cookie.name = std::string(line.substr(0, equals));
            cookie.data = std::string(line.substr(equals + 1));
        }
        cookies.push_back(std::move(cookie));
    }
    return cookies;
}

}  // namespace quorvel
