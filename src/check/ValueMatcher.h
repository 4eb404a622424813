#pragma once

#include "DataTypes.h"
#include "Grammar.h"
#include "ValueTokens.h"

#include <deque>
#include <vector>

namespace Check {

// Matches the tokens of a value against a compiled syntax. For every node and start
// position it works out all the positions where the node can end, once: results are
// memoised per (node, position), so alternatives and any-order groups cost no more than
// the number of distinct states, never an exponential search. A value that would need
// more than a fixed number of steps, or nesting deeper than a fixed depth, is left
// undecided.
class ValueMatcher
{
public:
    enum class Outcome { Matched, NotMatched, GaveUp };

    ValueMatcher(Grammar &grammar, const DataTypes &types) : m_grammar(grammar), m_types(types) {}

    Outcome match(int root, const ValueTokens &tokens);
    // After NotMatched: the furthest token position any part of the syntax reached.
    int furthest() const { return m_furthest; }

    static constexpr int StepLimit = 200000;
    static constexpr int DepthLimit = 200;

private:
    struct Span
    {
        quint32 start = 0;
        quint32 count = 0;
    };
    struct MemoEntry
    {
        quint32 generation = 0;
        quint32 node = 0;
        quint32 pos = 0;
        quint32 start = 0;
        quint32 count = 0;
    };
    static constexpr quint32 InProgress = 0xFFFFFFFFu;

    // A set of token positions: its items in the order added, and a mark per position
    // so that adding and asking cost the same whatever its size.
    struct PositionSet
    {
        std::vector<int> items;
        std::vector<quint32> marks;
        quint32 stamp = 0;

        void reset(int positions);
        bool contains(int pos) const { return marks[std::size_t(pos)] == stamp; }
        void add(int pos)
        {
            if (marks[std::size_t(pos)] != stamp) {
                marks[std::size_t(pos)] = stamp;
                items.push_back(pos);
            }
        }
        bool empty() const { return items.empty(); }
    };

    Span ends(int id, int pos);
    Span compute(const SyntaxNode &node, int pos);
    Span leaf(int pos, int end);
    Span store(const std::vector<int> &positions);
    Span store(const PositionSet &set) { return store(set.items); }
    bool resolve(SyntaxNode &node);
    MemoEntry *findMemo(int id, int pos, bool insert);

    Span sequence(const SyntaxNode &node, int pos);
    Span oneOf(const SyntaxNode &node, int pos);
    Span anyOrder(const SyntaxNode &node, int pos, bool all);
    Span repeat(const SyntaxNode &node, int pos);
    Span block(const SyntaxNode &node, int pos);

    Grammar &m_grammar;
    const DataTypes &m_types;
    const ValueTokens *m_tokens = nullptr;
    std::vector<int> m_pool;
    std::vector<MemoEntry> m_memo;
    quint32 m_generation = 0;
    int m_memoUsed = 0;
    int m_steps = 0;
    int m_depth = 0;
    int m_furthest = 0;
    bool m_gaveUp = false;
    PositionSet &scratch(int which);
    std::vector<int> m_anyEnds;
    std::deque<PositionSet> m_scratch; // working sets, a few per depth, kept between checks
};

} // namespace Check
