#include "widgets/StatusMarkup.h"

namespace updater {

namespace {

struct Format
{
    bool bold = false;
    bool link = false;
    QString address;
};

// The address of an anchor tag: the text between the first pair of double quotes after "href".
QString hrefOf(const QString& tag)
{
    const int href = tag.indexOf("href", 0, Qt::CaseInsensitive);
    if (href < 0)
        return {};
    const int open = tag.indexOf('"', href);
    if (open < 0)
        return {};
    const int close = tag.indexOf('"', open + 1);
    if (close < 0)
        return {};
    return tag.mid(open + 1, close - open - 1);
}

QString tagName(const QString& tag)
{
    int end = 0;
    while (end < tag.size() && !tag[end].isSpace())
        ++end;
    return tag.left(end).toLower();
}

void applyTag(const QString& tag, Format& format)
{
    const bool closing = tag.startsWith('/');
    const QString name = tagName(closing ? tag.mid(1) : tag);
    if (name == "b") {
        format.bold = !closing;
    } else if (name == "a") {
        format.link = !closing;
        format.address = closing ? QString() : hrefOf(tag);
    }
}

class RunBuilder
{
public:
    void append(const QString& text, const Format& format)
    {
        if (text.isEmpty())
            return;
        if (!m_runs.isEmpty()) {
            MarkupRun& last = m_runs.last();
            if (last.bold == format.bold && last.link == format.link && last.address == format.address) {
                last.text += text;
                return;
            }
        }
        MarkupRun run;
        run.text = text;
        run.bold = format.bold;
        run.link = format.link;
        run.address = format.address;
        m_runs.append(run);
    }
    QList<MarkupRun> runs() const { return m_runs; }

private:
    QList<MarkupRun> m_runs;
};

} // namespace

QList<MarkupRun> parseStatusMarkup(const QString& markup)
{
    RunBuilder builder;
    Format format;
    QString pending;
    int i = 0;
    while (i < markup.size()) {
        const QChar c = markup[i];
        if (c == '<') {
            const int end = markup.indexOf('>', i + 1);
            if (end < 0)
                break; // an unfinished tag hides everything after it
            builder.append(pending, format);
            pending.clear();
            applyTag(markup.mid(i + 1, end - i - 1), format);
            i = end + 1;
        } else if (c == '&' && markup.mid(i, 4).compare("&lt;", Qt::CaseInsensitive) == 0) {
            pending += '<';
            i += 4;
        } else if (c == '&' && markup.mid(i, 4).compare("&gt;", Qt::CaseInsensitive) == 0) {
            pending += '>';
            i += 4;
        } else {
            pending += c;
            ++i;
        }
    }
    builder.append(pending, format);
    return builder.runs();
}

} // namespace updater
