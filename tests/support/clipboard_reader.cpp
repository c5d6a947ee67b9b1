// A second X client that reads the clipboard and prints its plain text and its HTML, each on a
// line of its own as "<format> <base64 of the UTF-8 text>", or "<format> missing".
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <cstdio>

namespace {

void print(const char *format, bool present, const QString &text)
{
    if (present)
        std::printf("%s %s\n", format, text.toUtf8().toBase64().constData());
    else
        std::printf("%s missing\n", format);
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication application(argc, argv);
    const QMimeData *data = QGuiApplication::clipboard()->mimeData();
    print("text/plain", data && data->hasText(), data ? data->text() : QString());
    print("text/html", data && data->hasHtml(), data ? data->html() : QString());
    return 0;
}
