#include "remoting/route_pattern.h"

#include <cstdint>

namespace Velto {

namespace {

using GroupClass = RoutePattern::GroupClass;

// One mark per position 0..m of a path of m bytes.
using Marks = std::vector<bool>;

constexpr std::size_t kNoPosition = SIZE_MAX;

bool InClass(GroupClass groupClass, char byte) noexcept {
    if (groupClass == GroupClass::Segment) {
        return byte != '/';
    }
    return byte != '\n' && byte != '\r';
}

bool AllInClass(GroupClass groupClass, std::string_view text) noexcept {
    constexpr auto npos = std::string_view::npos;
    if (groupClass == GroupClass::Segment) {
        return text.find('/') == npos;
    }
    return text.find('\n') == npos && text.find('\r') == npos;
}

// Marks every position of `text` where `literal` begins; every position when it is empty.
// Knuth-Morris-Pratt, so the cost stays linear whatever repetitions the texts hold.
Marks LiteralStarts(std::string_view text, std::string_view literal) {
    Marks starts(text.size() + 1, literal.empty());
    if (literal.empty() || literal.size() > text.size()) {
        return starts;
    }
    // border[i]: length of the longest proper prefix of literal[0..i] that is also its suffix.
    std::vector<std::size_t> border(literal.size(), 0);
    for (std::size_t i = 1, k = 0; i < literal.size(); ++i) {
        while (k > 0 && literal[i] != literal[k]) {
            k = border[k - 1];
        }
        if (literal[i] == literal[k]) {
            ++k;
        }
        border[i] = k;
    }
    for (std::size_t i = 0, k = 0; i < text.size(); ++i) {
        while (k > 0 && text[i] != literal[k]) {
            k = border[k - 1];
        }
        if (text[i] == literal[k]) {
            ++k;
        }
        if (k == literal.size()) {
            starts[i + 1 - k] = true;
            k = border[k - 1];
        }
    }
    return starts;
}

// Marks the positions where `literal` matches and is followed by a position marked in `after`.
Marks LiteralThen(std::string_view path, std::string_view literal, const Marks& after) {
    Marks marks = LiteralStarts(path, literal);
    for (std::size_t position = 0; position < marks.size(); ++position) {
        marks[position] = marks[position] && after[position + literal.size()];
    }
    return marks;
}

// Marks the positions p from which a group of `groupClass` can run to a position marked in
// `rest`: some q >= p is marked and every byte of path[p, q) belongs to the class.
Marks GroupThen(std::string_view path, GroupClass groupClass, const Marks& rest) {
    Marks marks(path.size() + 1);
    std::size_t nextRest = kNoPosition;  // the nearest marked position at or after p
    std::size_t runEnd = path.size();    // the first position at or after p outside the class
    for (std::size_t position = path.size() + 1; position-- > 0;) {
        if (position < path.size() && !InClass(groupClass, path[position])) {
            runEnd = position;
        }
        if (rest[position]) {
            nextRest = position;
        }
        marks[position] = nextRest <= runEnd;
    }
    return marks;
}

Marks EndOnly(std::size_t pathSize) {
    Marks marks(pathSize + 1);
    marks[pathSize] = true;
    return marks;
}

}  // namespace

RoutePattern RoutePattern::Empty(std::size_t groups) {
    RoutePattern pattern;
    pattern.pieces_.reserve(groups + 1);
    pattern.pieces_.emplace_back();
    return pattern;
}

void RoutePattern::AppendLiteral(std::string_view text) {
    if (!pieces_.empty()) {
        pieces_.back().literal.append(text);
    }
}

void RoutePattern::AppendGroup(GroupClass groupClass) {
    if (!pieces_.empty()) {
        pieces_.back().group = groupClass;
        pieces_.emplace_back();
    }
}

bool RoutePattern::MatchOneGroup(std::string_view path, std::string_view& capture) const {
    // With one group the rest after it is a fixed text, so the group can only take what lies
    // between the two literals.
    const std::string_view lead = pieces_.front().literal;
    const std::string_view tail = pieces_.back().literal;
    if (path.size() < lead.size() + tail.size() || !path.starts_with(lead) ||
        !path.ends_with(tail)) {
        return false;
    }
    capture = path.substr(lead.size(), path.size() - lead.size() - tail.size());
    return AllInClass(pieces_.front().group, capture);
}

bool RoutePattern::Match(std::string_view path, std::span<std::string_view> captures) const {
    const std::size_t groupCount = GroupCount();
    if (pieces_.empty() || captures.size() != groupCount) {
        return false;
    }
    if (groupCount == 1) {
        return MatchOneGroup(path, captures.front());
    }
    // fromLiteral[k], k >= 1: where literal k and everything after it can match up to the end.
    std::vector<Marks> fromLiteral(groupCount + 1);
    Marks after = EndOnly(path.size());
    for (std::size_t k = groupCount; k > 0; --k) {
        fromLiteral[k] = LiteralThen(path, pieces_[k].literal, after);
        after = GroupThen(path, pieces_[k - 1].group, fromLiteral[k]);
    }
    const std::string_view lead = pieces_.front().literal;
    if (!path.starts_with(lead) || !after[lead.size()]) {
        return false;
    }
    // Each group now runs as far as its class allows and backs off to the last position from
    // which the rest can match; the marks guarantee there is one.
    std::size_t start = lead.size();
    for (std::size_t k = 0; k < groupCount; ++k) {
        const Marks& rest = fromLiteral[k + 1];
        std::size_t end = start;
        while (end < path.size() && InClass(pieces_[k].group, path[end])) {
            ++end;
        }
        while (end > start && !rest[end]) {
            --end;
        }
        captures[k] = path.substr(start, end - start);
        start = end + pieces_[k + 1].literal.size();
    }
    return true;
}

}  // namespace Velto
