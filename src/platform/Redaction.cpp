#include "platform/Redaction.h"

#include <QRegularExpression>

#include <atomic>

namespace {
// A scheme, "://" (or its percent-encoded form), then the authority up to
// the first character that ends it. The user info is everything before the
// authority's last '@' (a password may itself hold an '@').
const QRegularExpression &addressStart()
{
    static const QRegularExpression re(QStringLiteral(R"(([A-Za-z][A-Za-z0-9+.\-]*)(://|%3[Aa]%2[Ff]%2[Ff]))"));
    return re;
}

bool endsAuthority(QChar c)
{
    return c.isSpace() || c == u'/' || c == u'?' || c == u'#' || c == u'"' || c == u'\'' || c == u'<' || c == u'>'
           || c == u'`' || c == u'\\' || c == u'(' || c == u')';
}

// Where the password of "user:password" starts, or -1: the first ':' (or
// its percent-encoded form) of the user info.
int passwordStart(QStringView userInfo, int *separatorLength)
{
    for (int i = 0; i < userInfo.size(); ++i) {
        if (userInfo[i] == u':') {
            *separatorLength = 1;
            return i;
        }
        if (userInfo[i] == u'%' && userInfo.mid(i, 3).compare(u"%3A", Qt::CaseInsensitive) == 0) {
            *separatorLength = 3;
            return i;
        }
    }
    return -1;
}

QtMessageHandler g_next = nullptr;
std::atomic<bool> g_installed{false};

void redactingHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    g_next(type, context, Redaction::redact(message));
}
} // namespace

QString Redaction::redact(const QString &text)
{
    if (!text.contains(u'@') && !text.contains(QLatin1String("%40"), Qt::CaseInsensitive))
        return text; // no user info anywhere: the common case, at no cost
    QString out;
    out.reserve(text.size());
    int copied = 0;
    QRegularExpressionMatchIterator it = addressStart().globalMatch(text);
    int skipUntil = 0;
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        if (m.capturedStart() < skipUntil)
            continue;
        const int authority = m.capturedEnd();
        int end = authority;
        while (end < text.size() && !endsAuthority(text[end]))
            ++end;
        skipUntil = end;
        // The last '@' of the authority (or its percent-encoded form, as
        // an address inside another address's query is written).
        const QStringView auth = QStringView(text).mid(authority, end - authority);
        int at = auth.lastIndexOf(u'@');
        const int encodedAt = auth.lastIndexOf(QLatin1String("%40"), -1, Qt::CaseInsensitive);
        if (at < 0 && encodedAt >= 0 && m.captured(2) != QLatin1String("://"))
            at = encodedAt;
        if (at < 0)
            continue;
        int sepLength = 0;
        const int colon = passwordStart(auth.left(at), &sepLength);
        if (colon < 0)
            continue; // a user name alone is no secret
        out += QStringView(text).mid(copied, authority + colon - copied);
        copied = authority + at; // from the '@' on, the text stays
    }
    out += QStringView(text).mid(copied);
    return out;
}

void Redaction::installLogFilter()
{
    if (g_installed.exchange(true))
        return;
    // Qt hands back its own default handler when none was installed.
    g_next = qInstallMessageHandler(redactingHandler);
}
