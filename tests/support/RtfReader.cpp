#include "support/RtfReader.h"

#include <QSet>

#include <cctype>
#include <vector>

namespace folvane::test {

std::optional<QString> ReadRtfText(const QByteArray &rtf)
{
    if (!rtf.startsWith("{\\rtf1"))
        return std::nullopt;
    static const QSet<QByteArray> destinations = {"fonttbl", "colortbl", "stylesheet", "info", "*"};
    struct Group {
        bool skip;
        int uc;
    };
    std::vector<Group> stack;
    QString text;
    int pendingFallback = 0;
    bool closedTop = false;
    qsizetype i = 0;
    const qsizetype n = rtf.size();
    auto put = [&](QChar c) {
        if (pendingFallback > 0) {
            --pendingFallback;
            return;
        }
        if (!stack.back().skip)
            text += c;
    };
    while (i < n) {
        const char c = rtf[i];
        if (closedTop)
            return std::nullopt; // bytes after the document's last brace
        if (c == '{') {
            stack.push_back(stack.empty() ? Group{false, 1} : stack.back());
            ++i;
        } else if (c == '}') {
            if (stack.empty())
                return std::nullopt;
            stack.pop_back();
            closedTop = stack.empty();
            ++i;
            // Trailing line ends after the document are allowed.
            while (closedTop && i < n && (rtf[i] == '\r' || rtf[i] == '\n'))
                ++i;
            if (closedTop && i < n)
                return std::nullopt;
        } else if (c == '\r' || c == '\n') {
            ++i;
        } else if (c == '\\') {
            if (stack.empty() || i + 1 >= n)
                return std::nullopt;
            const char next = rtf[i + 1];
            if (next == '\\' || next == '{' || next == '}') {
                put(QLatin1Char(next));
                i += 2;
            } else if (next == '\'') {
                if (i + 3 >= n)
                    return std::nullopt;
                put(QChar(rtf.mid(i + 2, 2).toInt(nullptr, 16)));
                i += 4;
            } else if (next == '*') {
                stack.back().skip = true;
                i += 2;
            } else if (std::isalpha(static_cast<unsigned char>(next))) {
                qsizetype j = i + 1;
                while (j < n && std::isalpha(static_cast<unsigned char>(rtf[j])))
                    ++j;
                const QByteArray word = rtf.mid(i + 1, j - i - 1);
                qsizetype k = j;
                if (k < n && (rtf[k] == '-' || std::isdigit(static_cast<unsigned char>(rtf[k])))) {
                    ++k;
                    while (k < n && std::isdigit(static_cast<unsigned char>(rtf[k])))
                        ++k;
                }
                const bool hasParam = k > j;
                const int param = hasParam ? rtf.mid(j, k - j).toInt() : 0;
                if (k < n && rtf[k] == ' ')
                    ++k;
                i = k;
                if (destinations.contains(word)) {
                    stack.back().skip = true;
                } else if (word == "par") {
                    pendingFallback = 0;
                    if (!stack.back().skip)
                        text += QStringLiteral("\r\n");
                } else if (word == "tab") {
                    put(QLatin1Char('\t'));
                } else if (word == "uc") {
                    stack.back().uc = param;
                } else if (word == "u" && hasParam) {
                    pendingFallback = 0;
                    put(QChar(static_cast<char16_t>(param < 0 ? param + 65536 : param)));
                    pendingFallback = stack.back().uc;
                }
            } else {
                i += 2; // other control symbols carry no text here
            }
        } else {
            if (stack.empty())
                return std::nullopt;
            put(QLatin1Char(c));
            ++i;
        }
    }
    if (!closedTop)
        return std::nullopt;
    return text;
}

}  // namespace folvane::test
