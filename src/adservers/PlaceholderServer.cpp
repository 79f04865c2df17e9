#include "adservers/PlaceholderServer.h"

#include <utility>

#include "core/TimeStamp.h"

namespace halvern::adservers {

using ConnectionId = platform::TcpListener::ConnectionId;

namespace {

constexpr const char* kAddress = "127.0.0.1";
constexpr const char* kJsBody = "<!-- Java Ad -->";

// A minimal HTTP/1.0 reply: browsers and command-line clients alike accept it on any port.
std::string httpReply(std::string_view contentType, std::string_view body) {
    std::string reply;
    reply.reserve(96 + contentType.size() + body.size());
    reply += "HTTP/1.0 200 OK\r\nContent-Type: ";
    reply += contentType;
    reply += "\r\nContent-Length: ";
    reply += std::to_string(body.size());
    reply += "\r\nConnection: close\r\n\r\n";
    reply += body;
    return reply;
}

std::string htmlBody(const char* kind) {
    return std::string("<font face=verdana size=1>") + core::kServiceName + "  Blocked " + kind +
           " Ad</font>";
}

// The shipped file's name says JPEG whatever it holds: the bytes decide the type.
std::string_view imageType(std::string_view bytes) {
    if (bytes.starts_with("GIF8")) {
        return "image/gif";
    }
    if (bytes.starts_with("\x89PNG")) {
        return "image/png";
    }
    return "image/jpeg";
}

const char* caption(PlaceholderKind kind) {
    switch (kind) {
        case PlaceholderKind::JsDot:
            return "Javascript .js";
        case PlaceholderKind::JsSuffix:
            return "Javascript js.";
        case PlaceholderKind::Jpg:
            return "JPG Graphical Ad ";
        case PlaceholderKind::Gif:
            return "GIF Graphical Ad ";
        case PlaceholderKind::Html:
            return "HTML Ad";
        case PlaceholderKind::Htm:
            return "HTM Ad";
        case PlaceholderKind::Generic:
            break;
    }
    return "Generic Graphical Ad ";
}

}  // namespace

PlaceholderServer::PlaceholderServer(core::Context& context, core::StatusLog& log,
                                     core::BlockedRings& rings, BlockCounter& counter,
                                     std::function<void()> autoUpdateCheck, std::uint16_t port)
    : m_listener(context.platform.listener),
      m_scheduler(context.platform.scheduler),
      m_files(context.platform.files),
      m_sound(context.platform.sound),
      m_form(context.form),
      m_state(context.state),
      m_counter(counter),
      m_paths(context.paths),
      m_log(log),
      m_rings(rings),
      m_autoUpdateCheck(std::move(autoUpdateCheck)),
      m_port(port),
      m_jsReply(httpReply("application/javascript", kJsBody)),
      m_htmlReply(httpReply("text/html", htmlBody("HTML"))),
      m_htmReply(httpReply("text/html", htmlBody("HTM"))),
      m_unknownReply(httpReply("text/plain", "UNKNOWN")) {
    m_listener.setHandlers({
        .onAccept = [this](ConnectionId id) { onAccept(id); },
        .onData = [this](ConnectionId id, std::string_view bytes) { onData(id, bytes); },
        .onEnd = [this](ConnectionId id) { onEnd(id); },
        .onClosed =
            [this](ConnectionId id) {
                if (auto it = m_pending.find(id); it != m_pending.end()) {
                    forget(it);
                }
            },
        .onFull = [this] { onFull(); },
    });
    m_form.cmdOn.onClick = [this] { StartWebServerCrap(); };
    m_form.cmdOff.onClick = [this] { StopWebServer(); };
}

PlaceholderServer::~PlaceholderServer() {
    m_listener.setHandlers({});
    m_scheduler.cancel(m_sweepTimer);
    m_scheduler.cancel(m_soundTimer);
    m_form.cmdOn.onClick = nullptr;
    m_form.cmdOff.onClick = nullptr;
}

void PlaceholderServer::StartWebServerCrap() {
    StartListening();
    m_state.bWebServerOn = true;
    m_form.lblWS.setCaption("WS Started.");
    m_switched.emit();
}

void PlaceholderServer::StartListening() {
    m_listener.close();
    if (m_listener.listen(kAddress, m_port)) {
        // The texts name the ten answering sockets the server once had, and users know them as
        // they are; one listener on the event loop now does the work of all ten.
        m_form.lbltype.setCaption("Started blocking...10 10");
        status("Started 10 web servers.");
        return;
    }
    // Another program holds the port: say so instead of claiming the server started.
    m_form.lbltype.setCaption("Stopped blocking...");
    status("Web server could not listen on port " + std::to_string(m_port) + ".");
}

void PlaceholderServer::StopWebServer() {
    m_listener.close();
    m_form.lbltype.setCaption("Stopped blocking...");
    status("Stopped Web Server.");
    m_form.lblWS.setCaption("WS Stopped.");
    m_state.bWebServerOn = false;
    m_switched.emit();
}

std::string PlaceholderServer::LoadFile(const std::string& filename1) const {
    if (auto bytes = m_files.read(filename1)) {
        return std::move(*bytes);
    }
    const std::size_t slash = filename1.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : filename1.substr(0, slash);
    if (!m_files.isDirectory(folder.empty() ? "/" : folder)) {
        return std::string("Blocked by ") + core::kServiceName + " ";
    }
    return {};
}

void PlaceholderServer::onAccept(ConnectionId id) {
    Pending& p = m_pending[id];
    p.acceptedAt = m_scheduler.now();
    p.arrival = m_arrivals.insert(m_arrivals.end(), id);
    armSweep();
}

void PlaceholderServer::forget(PendingMap::iterator it) {
    m_arrivals.erase(it->second.arrival);
    m_pending.erase(it);
}

void PlaceholderServer::onFull() {
    // The listener cannot take another connection: the oldest unfinished head goes. A request
    // arrives whole in a moment, so a slow trickle that has been waiting longest is the one
    // least likely to be a browser, and a new connection always gets in.
    if (m_arrivals.empty()) {
        return;
    }
    const ConnectionId oldest = m_arrivals.front();
    forget(m_pending.find(oldest));
    m_listener.disconnect(oldest);
}

void PlaceholderServer::onData(ConnectionId id, std::string_view bytes) {
    auto it = m_pending.find(id);
    if (it == m_pending.end()) {
        return;  // already answered: a body or a second request is not read
    }
    Pending& p = it->second;
    // The usual case: the whole head in one piece, answered without copying it.
    if (p.head.empty() && RequestParser::headLength(bytes) != 0) {
        forget(it);
        answer(id, bytes);
        return;
    }
    const std::size_t checked = p.head.size();
    p.head.append(bytes);
    if (!p.lineBegun) {
        // Bytes that can never begin a request line are answered now, not at the timeout.
        const LineStart start = RequestParser::lineStart(p.head, checked);
        if (start == LineStart::Impossible) {
            const std::string request = std::move(p.head);
            forget(it);
            answerUnknown(id, request);
            return;
        }
        p.lineBegun = start == LineStart::Begun;
    }
    const bool complete = RequestParser::headLength(p.head, p.scanned) != 0;
    p.scanned = p.head.size();
    if (complete || p.head.size() >= RequestParser::kMaxHead) {
        const std::string request = std::move(p.head);
        forget(it);
        answer(id, request);
    }
}

void PlaceholderServer::onEnd(ConnectionId id) {
    // The client sent all it will: answer what it sent, once.
    auto it = m_pending.find(id);
    if (it == m_pending.end()) {
        return;
    }
    const std::string request = std::move(it->second.head);
    forget(it);
    if (request.empty()) {
        m_listener.disconnect(id);
    } else {
        answer(id, request);
    }
}

void PlaceholderServer::answer(ConnectionId id, std::string_view request) {
    if (!request.starts_with("GET") || RequestParser::lineStart(request) == LineStart::Impossible) {
        answerUnknown(id, request);
        return;
    }
    status("# Web Server request: " + std::string(request));
    const ParsedRequest parsed = RequestParser::parse(request);
    const PlaceholderKind kind = RequestParser::choosePlaceholder(parsed.path);
    m_form.lbltype.setCaption(caption(kind));
    record(parsed);
    switch (kind) {
        case PlaceholderKind::JsDot:
        case PlaceholderKind::JsSuffix:
            m_listener.sendAndClose(id, m_jsReply);
            break;
        case PlaceholderKind::Html:
            m_listener.sendAndClose(id, m_htmlReply);
            break;
        case PlaceholderKind::Htm:
            m_listener.sendAndClose(id, m_htmReply);
            break;
        default:
            m_listener.sendAndClose(id, imageReply());
            break;
    }
    playBannerSound();
    m_counter.CountBlockedAd(false);
    m_autoUpdateCheck();
}

void PlaceholderServer::answerUnknown(ConnectionId id, std::string_view request) {
    status("# Web Server request: " + std::string(request));
    status("Responded to http request with text 'UNKNOWN'");
    m_listener.sendAndClose(id, m_unknownReply);
}

void PlaceholderServer::record(const ParsedRequest& r) {
    m_form.lblpage.setCaption("Blocking " + r.host + "\r\n" + RequestParser::shownPath(r.path));
    m_state.strLastHost = r.host;
    m_state.strLastAgent = r.agent;
    m_rings.cycAdServers.PutItem(core::GetTimeStamp(m_scheduler) + " '" + r.host + "'  from '" +
                                 r.referer + "' by '" + r.agent + "'");
    m_form.mnuTrayAllow.setCaption("&Click here to allow content from " + r.host +
                                   " (the last blocked ad server)...");
    m_form.lblAllowServer.setCaption("Un-Block '" + r.host + "'");
    m_form.lblAllowServer.setVisible(true);
    m_form.lblAllow1.setCaption("Last blocked ad content from server: '" + r.host + "'");
}

const std::string& PlaceholderServer::imageReply() {
    const platform::Millis now = m_scheduler.now();
    if (!m_imageRead || now - m_imageReadAt >= kImageRefresh) {
        m_imageRead = true;
        m_imageReadAt = now;
        if (auto bytes = m_files.read(m_paths.placeholderImage())) {
            m_imageReply = httpReply(imageType(*bytes), *bytes);
        } else {
            m_imageReply = httpReply("text/plain", LoadFile(m_paths.placeholderImage()));
        }
    }
    return m_imageReply;
}

bool PlaceholderServer::soundWanted() const {
    return m_form.chkBannerSound.checked() && !m_state.bTempSoundOff;
}

void PlaceholderServer::playBannerSound() {
    if (!soundWanted() || m_soundTimer != 0) {
        return;  // a sound is already due at the end of the current window
    }
    const platform::Millis now = m_scheduler.now();
    if (!m_soundPlayed || now - m_lastSound >= kSoundWindow) {
        m_soundPlayed = true;
        m_lastSound = now;
        m_sound.play(m_form.txtBannerWav.text());
        return;
    }
    // A burst of ads plays one sound per window instead of one per ad.
    m_soundTimer = m_scheduler.callAfter(m_lastSound + kSoundWindow - now, [this] {
        m_soundTimer = 0;
        if (soundWanted()) {
            m_lastSound = m_scheduler.now();
            m_sound.play(m_form.txtBannerWav.text());
        }
    });
}

void PlaceholderServer::armSweep() {
    if (m_sweepTimer != 0) {
        return;
    }
    // One sweep a second while requests are incomplete keeps the per-request work constant.
    m_sweepTimer = m_scheduler.callAfter(platform::Millis(1000), [this] {
        m_sweepTimer = 0;
        sweepExpired();
    });
}

void PlaceholderServer::sweepExpired() {
    // Heads run out of time in the order they were accepted: only the expired ones are visited.
    const platform::Millis now = m_scheduler.now();
    while (!m_arrivals.empty()) {
        const ConnectionId id = m_arrivals.front();
        const auto it = m_pending.find(id);
        if (now - it->second.acceptedAt < kHeadTimeout) {
            break;
        }
        forget(it);
        m_listener.disconnect(id);
    }
    if (!m_pending.empty()) {
        armSweep();
    }
}

void PlaceholderServer::status(const std::string& text) const {
    m_log.AddToStatus(text);
}

}  // namespace halvern::adservers
