// The JSON events of flashdl --json; their fields are described in the README.
#include "json_reporter.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <cmath>

#include "download_outcome.h"

namespace {

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

QJsonObject OutcomeFields(const PortOutcome& outcome) {
    return {{"port", Text(outcome.port)},
            {"result", DownloadEndName(outcome.end)},
            {"exit", ExitStatusFor(outcome.end)},
            {"seconds", std::round(outcome.seconds * 1000.0) / 1000.0},
            {"bytes", static_cast<double>(outcome.bytesSent)}};
}

}  // namespace

CJsonReporter::CJsonReporter(std::FILE* out, std::FILE* err) : m_out(out), m_err(err) {}

void CJsonReporter::Started(const std::string& port, const ImageFacts& image) {
    Emit("start", {{"port", Text(port)},
                   {"image", Text(image.path)},
                   {"size", static_cast<double>(image.size)},
                   {"blocks", static_cast<double>(image.blocks)}});
}

void CJsonReporter::Line(const std::string& port, const std::string& line) {
    std::string text = line;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.pop_back();
    }
    Emit("line", {{"port", Text(port)}, {"text", Text(text)}});
}

void CJsonReporter::Progress(const std::string& port, const ProgressFacts& progress) {
    Emit("progress", {{"port", Text(port)},
                      {"position", progress.position},
                      {"lower", progress.lower},
                      {"upper", progress.upper},
                      {"blocks_sent", progress.blocksSent},
                      {"blocks", static_cast<double>(progress.blocks)}});
}

void CJsonReporter::Ended(const PortOutcome& outcome) {
    Emit("end", OutcomeFields(outcome));
}

void CJsonReporter::Summary(const std::vector<PortOutcome>& outcomes, int exitStatus) {
    QJsonArray ports;
    for (const PortOutcome& outcome : outcomes) {
        ports.append(OutcomeFields(outcome));
    }
    Emit("summary", {{"exit", exitStatus}, {"ports", ports}});
}

void CJsonReporter::Error(const std::string& message) {
    std::fprintf(m_err, "flashdl: %s\n", message.c_str());
    std::fflush(m_err);
}

void CJsonReporter::Emit(const char* event, QJsonObject object) {
    object.insert("event", event);
    const QByteArray line = QJsonDocument(object).toJson(QJsonDocument::Compact);
    std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), m_out);
    std::fputc('\n', m_out);
    std::fflush(m_out);
}
