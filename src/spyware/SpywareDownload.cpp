#include "spyware/SpywareDownload.h"

#include <vector>

#include "core/IniFile.h"
#include "core/MainState.h"
#include "spyware/SpywareList.h"

namespace halvern::spyware {

namespace {

struct ServerLine {
    std::string name;
    std::string description;
};

/// The lines of the server's text, split at CR LF; a line break of LF alone is taken too.
std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> pieces;
    std::size_t begin = 0;
    while (true) {
        const auto end = text.find('\n', begin);
        if (end == std::string::npos) {
            pieces.push_back(text.substr(begin));
            return pieces;
        }
        const std::size_t length =
            end > begin && text[end - 1] == '\r' ? end - 1 - begin : end - begin;
        pieces.push_back(text.substr(begin, length));
        begin = end + 1;
    }
}

}  // namespace

SpywareDownload::SpywareDownload(core::Context& context, core::StatusLog& log,
                                 SpywareScanner& scanner)
    : updateServer([] { return std::string(kDefaultUpdateServer); }),
      m_ctx(context),
      m_log(log),
      m_scanner(scanner) {}

std::string SpywareDownload::listAddress() const {
    std::string server = updateServer ? updateServer() : std::string(kDefaultUpdateServer);
    while (!server.empty() && server.back() == '/') {
        server.pop_back();
    }
    return server + kListPath;
}

std::string SpywareDownload::fetch(const std::string& address, platform::Millis timeout,
                                   std::string& error) {
    if (fetcher) {
        return fetcher(address, timeout, error);
    }
    platform::HttpRequest request;
    request.url = address;
    request.timeout = timeout;
    const platform::HttpResponse response =
        m_ctx.platform.http.get(m_ctx.platform.scheduler, request);
    error = response.error;
    return response.ok ? response.body : std::string();
}

void SpywareDownload::ProcessSpyWare(bool bShowStatus) {
    if (m_busy) {
        return;
    }
    m_busy = true;
    struct Done {
        bool& busy;
        ~Done() { busy = false; }
    } done{m_busy};

    core::MainState& st = m_ctx.state;
    forms::MainForm& form = m_ctx.form;
    platform::Scheduler& scheduler = m_ctx.platform.scheduler;
    const std::string n = core::kServiceName;
    if (st.bExiting) {
        return;
    }

    std::string error;
    const std::string text = fetch(listAddress(), kTimeout, error);
    if (st.bExiting) {
        return;
    }
    if (text.empty()) {
        if (bShowStatus) {
            form.lblStatus.setCaption("Failed to connect to the " + n +
                                      "  Server to download list of spyware programs." +
                                      "Make sure you have a valid internet connection. ");
        }
        form.lblStatus.setCaption("spyware.txt connect failed.");
        m_log.AddToStatus("#spyware.txt: " + (error.empty() ? std::string("empty answer") : error));
        return;
    }
    const std::vector<std::string> pieces = splitLines(text);
    if (pieces.back() != "[END]") {
        form.lblStatus.setCaption("Internet download of the " + n +
                                  "  Spyware programs failed or didn't complete.  Please try "
                                  "again later.");
        return;
    }

    form.lblHelpText.setCaption("Processing Known Spyware programs...");
    scheduler.pump();
    if (st.bExiting) {
        return;
    }

    // The lines are shown one by one first; the list file is then read, merged and written in
    // one step, with no event running in between that could change it meanwhile.
    const int last = static_cast<int>(pieces.size()) - 1;
    form.ProgressBar1.setMax(last);
    form.ProgressBar1.setVisible(true);
    std::vector<ServerLine> lines;
    for (int i = 0; i < last; ++i) {
        const std::string piece = SpywareList::trim(pieces[static_cast<std::size_t>(i)]);
        form.ProgressBar1.setValue(i);
        if (piece.empty() || piece.front() == '#') {
            continue;
        }
        const auto colon = piece.find(':');
        ServerLine line;
        line.name = SpywareList::trim(piece.substr(0, colon));
        if (colon != std::string::npos) {
            const auto next = piece.find(':', colon + 1);
            line.description = SpywareList::trim(piece.substr(
                colon + 1, next == std::string::npos ? std::string::npos : next - colon - 1));
        }
        form.lblStatus.setCaption("Processing SpyWare detection for " + line.name);
        scheduler.pump();
        scheduler.wait(kLinePause);
        scheduler.pump();
        if (st.bExiting) {
            form.ProgressBar1.setVisible(false);
            return;
        }
        lines.push_back(std::move(line));
    }

    core::IniFile file(m_ctx.platform.files, m_ctx.paths.strgSpyWareFile(),
                       m_ctx.paths.spyWareWriteFile());
    int count = 0;
    for (const ServerLine& line : lines) {
        const std::string value =
            SpywareList::merged(SpywareList::value(file.document(), line.name), line.description);
        file.set(SpywareList::kSection, line.name, value);
        // A name the list cannot hold (empty, or with "=" or a line break) is not written.
        if (SpywareList::value(file.document(), line.name) == value) {
            ++count;
        } else {
            m_log.AddToStatus("#spyware.txt: '" + line.name + "' cannot be a list entry; skipped.");
        }
    }
    file.set(SpywareList::kCountSection, SpywareList::kCountKey, std::to_string(count));
    if (!file.save()) {
        m_log.AddToStatus("#spyware.txt: the spyware list " + file.path() +
                          " could not be written; it stays as it was.");
    }
    form.ProgressBar1.setVisible(false);
    // The scanner watches the new programs from now on, not only after its next reload.
    m_scanner.setSpyWareListArray();
}

}  // namespace halvern::spyware
