// An X server of the test's own and a program that owns its clipboard
// (tests/clipboard/clipboard_owner.cpp), for the tests of the X11 clipboard.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

namespace tonalyx::test {

inline constexpr int XWaitBound = 30000; // an upper bound for a wait, never a measurement

// Xvfb on a free display, for the whole executable; not running where there is no Xvfb.
class TXServer {
  public:
    static TXServer& Get() {
        static TXServer server;
        return server;
    }
    bool Running() const { return !FDisplay.isEmpty(); }
    const QByteArray& Display() const { return FDisplay; }
    ~TXServer() {
        FProcess.kill();
        FProcess.waitForFinished();
    }

  private:
    TXServer() {
        const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        if (xvfb.isEmpty())
            return;
        // -displayfd: the server picks a free display and writes its number once it is ready.
        FProcess.start(xvfb,
                       {"-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "1280x1024x24"});
        while (!FProcess.canReadLine() && FProcess.waitForReadyRead(XWaitBound)) {
        }
        const QByteArray number = FProcess.readLine().trimmed();
        if (!number.isEmpty())
            FDisplay = ":" + number;
    }
    QProcess FProcess;
    QByteArray FDisplay;
};

// tonalyx_clipboard_owner owning the clipboard of TXServer's display while it lives:
//   {"silent"}                          never answers;
//   {"offer", FORMAT}                   offers FORMAT, then never sends it;
//   {"trickle", FORMAT, INTERVAL}       answers everything in pieces of 4 bytes, one every
//                                       INTERVAL ms, without end;
//   {"serve", FORMAT, FILE [, PIECE]}   offers FILE's bytes as FORMAT.
class TClipboardOwner {
  public:
    explicit TClipboardOwner(const QStringList& arguments) {
        FProcess.start(QStringLiteral(TONALYX_CLIPBOARD_OWNER),
                       QStringList{QString::fromLatin1(TXServer::Get().Display())} + arguments);
        while (!FProcess.canReadLine() && FProcess.waitForReadyRead(XWaitBound)) {
        }
        FReady = FProcess.readLine().trimmed() == "ready";
    }
    ~TClipboardOwner() {
        FProcess.kill();
        FProcess.waitForFinished();
    }
    bool Ready() const { return FReady; }

    // The arguments that serve bytes as format, written to path.
    static QStringList Serving(const char* format, const QByteArray& bytes, const QString& path,
                               int piece = 0) {
        QFile f(path);
        if (f.open(QIODevice::WriteOnly))
            f.write(bytes);
        f.close();
        QStringList args{"serve", format, path};
        if (piece > 0)
            args << QString::number(piece);
        return args;
    }

  private:
    QProcess FProcess;
    bool FReady = false;
};

} // namespace tonalyx::test
