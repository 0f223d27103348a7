// The compiled form of a route template with placeholders, and its full match against a path.
//
// A pattern is a row of literal texts with capture groups between them, L0 G1 L1 G2 ... Gn Ln.
// Each group takes any run of bytes of its class: a path segment (every byte but "/") or the rest
// of a line (every byte but "\n" and "\r"). A match covers the whole path, and the captures are
// exactly those of the ECMAScript regular expression with each Li written literally and each Gi
// as "([^/]*)" or "(.*)": the groups are greedy and the earlier ones come first, so group 1 takes
// the longest text that still lets the rest match, then group 2 the longest that still lets the
// rest match after that, and so on.
//
// Cost, for a path of m bytes, n groups and literal texts of L bytes in all: time O((n + 1) * m +
// L), memory (n + 2) * (m + 1) bits plus the longest literal, stack independent of both. No path
// or pattern makes the match backtrack: a pass from the right end first marks, for every group,
// the positions where the rest of the pattern after it can still match, and the pass from the
// left then gives each group the longest run that ends on such a mark. A pattern of one group
// needs no marks: the group takes exactly what lies between its two literals.
//
// A pattern is a value: copying and moving are cheap in pattern size, and a const pattern may be
// matched from any number of threads at once.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace Velto {

class RoutePattern {
  public:
    // Which bytes a group takes.
    enum class GroupClass {
        Segment,  // every byte but "/"
        Line,     // every byte but "\n" and "\r"
    };

    // A pattern that matches no path at all: the pattern of a route matched by its literal text.
    RoutePattern() = default;

    // The pattern of the empty text, which matches the empty path only; the Append functions
    // extend it, `groups` capture groups without reallocation.
    static RoutePattern Empty(std::size_t groups = 0);

    // Appends text to be matched literally. Does nothing on a pattern that matches nothing.
    void AppendLiteral(std::string_view text);
    // Appends a capture group. Does nothing on a pattern that matches nothing.
    void AppendGroup(GroupClass groupClass);

    std::size_t GroupCount() const noexcept { return pieces_.empty() ? 0 : pieces_.size() - 1; }

    // Matches the whole of `path`. On a match sets `captures`, which holds one view per group,
    // to the groups' texts in order, as views into `path`, and returns true.
    bool Match(std::string_view path, std::span<std::string_view> captures) const;

  private:
    bool MatchOneGroup(std::string_view path, std::string_view& capture) const;

    // A literal text and the group that follows it; the last piece's group is unused, as its
    // literal ends the pattern.
    struct Piece {
        std::string literal;
        GroupClass group = GroupClass::Segment;
    };
    // Empty when the pattern matches nothing, else one piece more than there are groups.
    std::vector<Piece> pieces_;
};

}  // namespace Velto
