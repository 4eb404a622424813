#include "ValueMatcher.h"

#include <algorithm>

namespace Check {

void ValueMatcher::PositionSet::reset(int positions)
{
    items.clear();
    if (marks.size() < std::size_t(positions)) {
        marks.assign(std::size_t(positions), 0);
        stamp = 0;
    }
    if (++stamp == 0) {
        std::fill(marks.begin(), marks.end(), 0);
        stamp = 1;
    }
}

ValueMatcher::Outcome ValueMatcher::match(int root, const ValueTokens &tokens)
{
    m_tokens = &tokens;
    m_pool.clear();
    ++m_generation;
    if (m_generation == 0) {
        // The stamps wrapped around: forget every entry.
        std::fill(m_memo.begin(), m_memo.end(), MemoEntry{});
        m_generation = 1;
    }
    m_memoUsed = 0;
    m_steps = 0;
    m_depth = 0;
    m_furthest = 0;
    m_gaveUp = false;
    const Span result = ends(root, 0);
    if (m_gaveUp)
        return Outcome::GaveUp;
    for (quint32 i = 0; i < result.count; ++i) {
        if (m_pool[result.start + i] == tokens.size())
            return Outcome::Matched;
    }
    return Outcome::NotMatched;
}

ValueMatcher::PositionSet &ValueMatcher::scratch(int which)
{
    const std::size_t index = std::size_t(m_depth) * 4 + std::size_t(which);
    while (m_scratch.size() <= index)
        m_scratch.emplace_back();
    PositionSet &set = m_scratch[index];
    set.reset(m_tokens->size() + 1);
    return set;
}

ValueMatcher::Span ValueMatcher::store(const std::vector<int> &positions)
{
    const Span span{quint32(m_pool.size()), quint32(positions.size())};
    m_pool.insert(m_pool.end(), positions.begin(), positions.end());
    return span;
}

ValueMatcher::Span ValueMatcher::leaf(int pos, int end)
{
    if (end < 0) {
        m_furthest = std::max(m_furthest, pos);
        return {};
    }
    m_furthest = std::max(m_furthest, end);
    const Span span{quint32(m_pool.size()), 1};
    m_pool.push_back(end);
    return span;
}

ValueMatcher::MemoEntry *ValueMatcher::findMemo(int id, int pos, bool insert)
{
    if (m_memo.empty() || (insert && std::size_t(m_memoUsed + 1) * 2 > m_memo.size())) {
        // Grow (or create) the table and move this check's entries over.
        std::vector<MemoEntry> old = std::move(m_memo);
        m_memo.assign(std::max<std::size_t>(1024, old.size() * 2), MemoEntry{});
        m_memoUsed = 0;
        for (const MemoEntry &entry : old) {
            if (entry.generation == m_generation) {
                MemoEntry *slot = findMemo(int(entry.node), int(entry.pos), true);
                *slot = entry;
            }
        }
    }
    const std::size_t mask = m_memo.size() - 1;
    std::size_t slot = (std::size_t(id) * 0x9E3779B1u + std::size_t(pos) * 0x85EBCA77u) & mask;
    for (;;) {
        MemoEntry &entry = m_memo[slot];
        if (entry.generation != m_generation) {
            if (!insert)
                return nullptr;
            entry = MemoEntry{m_generation, quint32(id), quint32(pos), 0, InProgress};
            ++m_memoUsed;
            return &entry;
        }
        if (entry.node == quint32(id) && entry.pos == quint32(pos))
            return &entry;
        slot = (slot + 1) & mask;
    }
}

bool ValueMatcher::resolve(SyntaxNode &node)
{
    if (node.target != SyntaxNode::Target::Unresolved)
        return true;
    DataType type;
    if (node.kind == NodeKind::Type && DataTypes::find(node.text, type)) {
        node.target = SyntaxNode::Target::DataType;
        node.ref = int(type);
        return true;
    }
    const int root =
        node.kind == NodeKind::Type ? m_grammar.namedRoot(node.text) : m_grammar.propertyRoot(node.text);
    if (root >= 0) {
        node.target = SyntaxNode::Target::Node;
        node.ref = root;
    } else {
        // Unknown or unreadable: taken loosely, so that a gap in the data never
        // makes a value wrong.
        node.target = SyntaxNode::Target::DataType;
        node.ref = int(DataType::Loose);
    }
    return true;
}

ValueMatcher::Span ValueMatcher::ends(int id, int pos)
{
    if (m_gaveUp)
        return {};
    if (++m_steps > StepLimit || m_depth >= DepthLimit) {
        m_gaveUp = true;
        return {};
    }
    SyntaxNode &node = m_grammar.node(id);
    const ValueTokens &tokens = *m_tokens;
    switch (node.kind) {
    case NodeKind::Keyword:
        return leaf(pos, pos < tokens.size() && tokens[pos].type == Css::TokenType::Ident &&
                                 tokens.textOf(pos).compare(node.text, Qt::CaseInsensitive) == 0
                             ? pos + 1
                             : -1);
    case NodeKind::Literal: {
        if (pos < tokens.size() && tokens.textOf(pos) == node.text)
            return leaf(pos, pos + 1);
        // A comma of the syntax is left out where the items on one side of it are left
        // out: at the start or end of the value or of a function's arguments, and next
        // to another comma ("rgb(1%, 2%, 3%)" for "rgb( <percentage>#{3} , <alpha-value>? )").
        if (node.text == u",") {
            const auto startsList = [&](int i) {
                const Css::TokenType type = tokens[i].type;
                return type == Css::TokenType::Comma || type == Css::TokenType::Function ||
                       type == Css::TokenType::OpenParen || type == Css::TokenType::OpenSquare;
            };
            const auto endsList = [&](int i) {
                const Css::TokenType type = tokens[i].type;
                return type == Css::TokenType::Comma || type == Css::TokenType::CloseParen ||
                       type == Css::TokenType::CloseSquare;
            };
            if (pos == 0 || pos >= tokens.size() || startsList(pos - 1) || endsList(pos))
                return leaf(pos, pos);
        }
        return leaf(pos, -1);
    }
    case NodeKind::Type:
    case NodeKind::Property: {
        resolve(node);
        if (node.target == SyntaxNode::Target::DataType) {
            const auto type = DataType(node.ref);
            if (type == DataType::AnyValue) {
                // Not a scratch set: those of this depth belong to the calling group.
                std::vector<int> &found = m_anyEnds;
                found.clear();
                DataTypes::anyValueEnds(tokens, pos, found);
                if (found.empty())
                    m_furthest = std::max(m_furthest, pos);
                else
                    m_furthest = std::max(m_furthest, found.back());
                m_steps += int(found.size());
                return store(found);
            }
            return leaf(pos, m_types.match(type, node, tokens, pos));
        }
        ++m_depth;
        const Span span = ends(node.ref, pos);
        --m_depth;
        return span;
    }
    case NodeKind::Function:
    case NodeKind::Parens:
        return block(node, pos);
    default:
        break;
    }
    // Composite nodes: memoised.
    if (MemoEntry *entry = findMemo(id, pos, false)) {
        // A node that reaches itself at the same position without taking a token
        // (a left-recursive syntax) has no further ends through that path.
        if (entry->count == InProgress)
            return {};
        return {entry->start, entry->count};
    }
    findMemo(id, pos, true);
    ++m_depth;
    const Span span = compute(node, pos);
    --m_depth;
    MemoEntry *entry = findMemo(id, pos, true);
    entry->start = span.start;
    entry->count = span.count;
    return span;
}

ValueMatcher::Span ValueMatcher::compute(const SyntaxNode &node, int pos)
{
    switch (node.kind) {
    case NodeKind::Sequence:
        return sequence(node, pos);
    case NodeKind::OneOf:
        return oneOf(node, pos);
    case NodeKind::AllOf:
        return anyOrder(node, pos, true);
    case NodeKind::AnyOf:
        return anyOrder(node, pos, false);
    case NodeKind::Repeat:
        return repeat(node, pos);
    case NodeKind::NonEmpty: {
        const Span inner = ends(node.children.front(), pos);
        PositionSet &result = scratch(0);
        for (quint32 i = 0; i < inner.count; ++i) {
            if (m_pool[inner.start + i] != pos)
                result.add(m_pool[inner.start + i]);
        }
        return store(result);
    }
    default:
        return {};
    }
}

ValueMatcher::Span ValueMatcher::block(const SyntaxNode &node, int pos)
{
    const ValueTokens &tokens = *m_tokens;
    const bool opens = pos < tokens.size() &&
                       (node.kind == NodeKind::Function
                            ? tokens[pos].type == Css::TokenType::Function &&
                                  tokens.functionName(pos).compare(node.text, Qt::CaseInsensitive) == 0
                            : tokens[pos].type == Css::TokenType::OpenParen);
    if (!opens)
        return leaf(pos, -1);
    m_furthest = std::max(m_furthest, pos + 1);
    const int close = tokens[pos].close;
    bool fits = false;
    if (node.children.empty()) {
        fits = close == pos + 1;
    } else {
        const int content = node.children.front();
        ++m_depth;
        const Span inner = ends(content, pos + 1);
        --m_depth;
        for (quint32 i = 0; i < inner.count && !fits; ++i)
            fits = m_pool[inner.start + i] == close;
    }
    return fits ? leaf(pos, tokens.componentEnd(pos)) : Span{};
}

ValueMatcher::Span ValueMatcher::sequence(const SyntaxNode &node, int pos)
{
    PositionSet *current = &scratch(0);
    PositionSet *next = &scratch(1);
    current->add(pos);
    for (int child : node.children) {
        next->reset(m_tokens->size() + 1);
        for (int start : current->items) {
            const Span span = ends(child, start);
            m_steps += int(span.count);
            for (quint32 i = 0; i < span.count; ++i)
                next->add(m_pool[span.start + i]);
        }
        std::swap(current, next);
        if (current->empty())
            break;
    }
    return store(*current);
}

ValueMatcher::Span ValueMatcher::oneOf(const SyntaxNode &node, int pos)
{
    PositionSet &result = scratch(0);
    for (int child : node.children) {
        const Span span = ends(child, pos);
        m_steps += int(span.count);
        for (quint32 i = 0; i < span.count; ++i)
            result.add(m_pool[span.start + i]);
    }
    return store(result);
}

// "a && b" (all) and "a || b" (one or more): each part at most once, in any order. The
// states are (parts used, position), visited breadth-first without repeats.
ValueMatcher::Span ValueMatcher::anyOrder(const SyntaxNode &node, int pos, bool all)
{
    const int count = int(node.children.size());
    const quint32 full = (quint32(1) << count) - 1;
    std::vector<int> &masks = scratch(0).items;
    std::vector<int> &positions = scratch(1).items;
    PositionSet &result = scratch(2);
    masks.push_back(0);
    positions.push_back(pos);
    for (std::size_t s = 0; s < masks.size(); ++s) {
        const quint32 mask = quint32(masks[s]);
        const int at = positions[s];
        if (all ? mask == full : mask != 0)
            result.add(at);
        for (int c = 0; c < count; ++c) {
            if (mask & (quint32(1) << c))
                continue;
            const Span span = ends(node.children[std::size_t(c)], at);
            for (quint32 i = 0; i < span.count; ++i) {
                const int end = m_pool[span.start + i];
                const int nextMask = int(mask | (quint32(1) << c));
                bool seen = false;
                for (std::size_t k = 0; k < masks.size() && !seen; ++k)
                    seen = masks[k] == nextMask && positions[k] == end;
                m_steps += 1 + int(masks.size() / 16);
                if (!seen) {
                    masks.push_back(nextMask);
                    positions.push_back(end);
                }
            }
        }
        if (m_gaveUp)
            return {};
    }
    return store(result);
}

ValueMatcher::Span ValueMatcher::repeat(const SyntaxNode &node, int pos)
{
    const ValueTokens &tokens = *m_tokens;
    const int child = node.children.front();
    PositionSet &result = scratch(0);
    PositionSet *frontier = &scratch(1);
    PositionSet *next = &scratch(2);
    PositionSet &seen = scratch(3);
    if (node.min == 0)
        result.add(pos);
    frontier->add(pos);
    seen.add(pos);
    for (int round = 1; node.max < 0 || round <= node.max; ++round) {
        next->reset(tokens.size() + 1);
        for (int at : frontier->items) {
            int start = at;
            if (node.comma && round > 1) {
                if (at >= tokens.size() || tokens[at].type != Css::TokenType::Comma) {
                    m_furthest = std::max(m_furthest, at);
                    continue;
                }
                start = at + 1;
            }
            const Span span = ends(child, start);
            m_steps += int(span.count);
            for (quint32 i = 0; i < span.count; ++i) {
                const int end = m_pool[span.start + i];
                // An item of a comma-separated list is never empty.
                if (node.comma && end == start)
                    continue;
                // Past the minimum only new positions matter: the rest repeats known states.
                if (round > node.min && seen.contains(end))
                    continue;
                next->add(end);
            }
        }
        if (next->empty() || m_gaveUp)
            break;
        for (int end : next->items) {
            seen.add(end);
            if (round >= node.min)
                result.add(end);
        }
        std::swap(frontier, next);
    }
    return store(result);
}

} // namespace Check
