// Feeds arbitrary bytes, cut into arbitrary chunks, through the window's
// receive path and through the decoder. Input layout: a length byte, then
// that many bytes of chunk, repeated; the last chunk may be short.

#include "common/failure.h"
#include "decoder/mdlDecodeEncode.h"
#include "form1access.h"
#include "frame.h"

#include <QApplication>

#include <cstdint>
#include <cstdlib>
#include <memory>

namespace {

void check(bool condition, const char *what)
{
    if (!condition) {
        qCritical("fuzz invariant broken: %s", what);
        std::abort();
    }
}

// Fields are written in order and a failure empties the rest, so the
// display is always some written fields followed by empty ones.
bool writtenThenEmpty(const QStringList &display)
{
    const qsizetype firstEmpty = display.indexOf(QString());
    if (firstEmpty < 0)
        return true;
    for (qsizetype i = firstEmpty; i < display.size(); ++i) {
        if (!display[i].isEmpty())
            return false;
    }
    return true;
}

struct Forms
{
    Form1 chunked;
    Form1 whole;
};

Forms &forms()
{
    // Created on first use, after the application exists; kept for the
    // whole run because building windows per input would dominate the time.
    static Forms instance;
    return instance;
}

void fuzzDecoder(const QString &text)
{
    QString frame = text;
    try {
        const QString decoded =
            mdlDecodeEncode::fcEncodeString(frame, mdlDecodeEncode::decodingKey());
        check(decoded.size() == mdlDecodeEncode::payloadLength, "decoded length");
        check(box::encipher(decoded, mdlDecodeEncode::decodingKey()) ==
                  text.mid(2, mdlDecodeEncode::payloadLength),
              "decoding is the inverse of enciphering");
    } catch (const Failure &failure) {
        check(failure.number() == 5 || failure.number() == 6, "decoder failure number");
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Forms &f = forms();
    Form1Access::emptyBuffer(f.chunked);
    Form1Access::clearTextBox(f.chunked);
    Form1Access::emptyBuffer(f.whole);
    Form1Access::clearTextBox(f.whole);

    QString received;
    size_t at = 0;
    while (at < size) {
        const size_t length = std::min<size_t>(data[at], size - at - 1);
        const QString chunk =
            QString::fromLatin1(reinterpret_cast<const char *>(data + at + 1), qsizetype(length));
        at += 1 + length;
        received += chunk;
        Form1Access::receive(f.chunked, chunk);
        check(writtenThenEmpty(Form1Access::display(f.chunked)), "display written then empty");
    }

    // However the bytes were cut, the display is what the whole text shows.
    Form1Access::receive(f.whole, received);
    check(Form1Access::display(f.chunked) == Form1Access::display(f.whole), "chunking invariant");
    check(Form1Access::buffer(f.chunked).holdsFrame() ||
              Form1Access::display(f.chunked).join(QString()).isEmpty(),
          "nothing shown before a frame is complete");

    fuzzDecoder(received);
    return 0;
}
