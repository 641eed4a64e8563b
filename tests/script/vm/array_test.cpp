#include "tests/script/vm/vm_test_util.h"

#include "script/vm/array.h"
#include "script/vm/collector.h"

#include <list>
#include <random>

namespace zelph::test {
namespace {

class Arrays : public VmTest {
protected:
    ArrayRecord* Rooted(const char* name, std::int64_t length = 0)
    {
        return (Global(name) = Value::Array(NewArray(ctx, length))).a;
    }
    std::vector<std::int64_t> IndexesInChainOrder(ArrayRecord* a)
    {
        std::vector<std::int64_t> out;
        for (const ArrayElement& e : ArrayElementsInChainOrder(a))
            out.push_back(e.index);
        return out;
    }
};

// The element structure as 127 chains of entries, new entries at the head of
// their chain, renumbering by walking the chains in order and pushing every
// entry on the head of its new chain: the order sort and renumbering must keep.
class ChainModel {
public:
    void Set(std::int64_t index, std::int64_t value)
    {
        auto& chain = chains_[Chain(index)];
        for (auto& e : chain)
            if (e.first == index) {
                e.second = value;
                return;
            }
        chain.push_front({index, value});
    }
    void Remove(std::int64_t index)
    {
        chains_[Chain(index)].remove_if([index](auto& e) { return e.first == index; });
    }
    template <typename F>
    void Renumber(F&& newIndex, std::int64_t dropIndex, bool drop)
    {
        std::list<std::pair<std::int64_t, std::int64_t>> fresh[127];
        for (auto& chain : chains_)
            for (auto& e : chain) {
                if (drop && e.first == dropIndex)
                    continue;
                std::int64_t k = newIndex(e.first);
                fresh[Chain(k)].push_front({k, e.second});
            }
        for (int i = 0; i < 127; ++i)
            chains_[i] = std::move(fresh[i]);
    }
    std::vector<std::int64_t> Order() const
    {
        std::vector<std::int64_t> out;
        for (auto& chain : chains_)
            for (auto& e : chain)
                out.push_back(e.first);
        return out;
    }
    std::int64_t ValueAt(std::int64_t index) const
    {
        for (auto& e : chains_[Chain(index)])
            if (e.first == index)
                return e.second;
        return -999;
    }

private:
    static int Chain(std::int64_t index) { return static_cast<int>(static_cast<std::uint64_t>(index) % 127); }
    std::list<std::pair<std::int64_t, std::int64_t>> chains_[127];
};

TEST_F(Arrays, SetGetAndOverwrite)
{
    ArrayRecord* a = Rooted("a");
    EXPECT_EQ(ArrayGet(a, 0), nullptr);
    ArraySet(ctx, a, Value::Integer(1), 0);
    ArraySet(ctx, a, Value::Integer(2), 0);
    EXPECT_EQ(ArrayElementCount(a), 1u);
    EXPECT_EQ(ArrayGet(a, 0)->i, 2);
    EXPECT_EQ(a->length, 0) << "ArraySet leaves the length to the caller";
    ArraySet(ctx, a, Value::Integer(3), -5);
    ArraySet(ctx, a, Value::Integer(4), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(ArrayGet(a, -5)->i, 3);
    EXPECT_EQ(ArrayGet(a, std::numeric_limits<std::int64_t>::max())->i, 4);
    ArrayRemove(ctx, a, 0);
    EXPECT_EQ(ArrayGet(a, 0), nullptr);
    EXPECT_EQ(ArrayElementCount(a), 2u);
}

TEST_F(Arrays, DeleteShiftMovesLaterElementsDown)
{
    ArrayRecord* a = Rooted("a", 3);
    for (int i = 0; i < 3; ++i)
        ArraySet(ctx, a, Value::Integer(i + 1), i);
    ArrayDeleteShift(ctx, a, 0);
    EXPECT_EQ(a->length, 2);
    EXPECT_EQ(ArrayGet(a, 0)->i, 2);
    EXPECT_EQ(ArrayGet(a, 1)->i, 3);
    EXPECT_EQ(ArrayGet(a, 2), nullptr);
    ArrayDeleteShift(ctx, a, 5);  // not below the length: nothing
    EXPECT_EQ(a->length, 2);
    ArrayRenumber(ctx, a, 10);
    EXPECT_EQ(a->length, 12);
    EXPECT_EQ(ArrayGet(a, 11)->i, 3);
    ArrayRenumber(ctx, a, -10);
    EXPECT_EQ(ArrayGet(a, 0)->i, 2);
}

// Random operations against the chain model: the same elements and the same
// chain order after every step.
TEST_F(Arrays, ChainOrderMatchesTheChainModel)
{
    std::mt19937_64 random(12345);
    ArrayRecord* a = Rooted("a", 0);
    ChainModel model;
    std::int64_t length = 0;
    for (int step = 0; step < 4000; ++step) {
        std::int64_t index = static_cast<std::int64_t>(random() % 600) - 20;
        switch (random() % 10) {
        case 0:
            ArrayRemove(ctx, a, index);
            model.Remove(index);
            break;
        case 1:
            if (index < length) {
                ArrayDeleteShift(ctx, a, index);
                model.Renumber([index](std::int64_t k) { return k > index ? k - 1 : k; }, index, true);
                --length;
            }
            break;
        case 2: {
            std::int64_t delta = static_cast<std::int64_t>(random() % 7) - 3;
            ArrayRenumber(ctx, a, delta);
            model.Renumber([delta](std::int64_t k) { return k + delta; }, 0, false);
            length += delta;
            break;
        }
        default:
            ArraySet(ctx, a, Value::Integer(step), index);
            model.Set(index, step);
            if (index >= length)
                length = index + 1;
            a->length = length;
        }
        ASSERT_EQ(IndexesInChainOrder(a), model.Order()) << "step " << step;
        if (step % 500 == 0)
            Collect(ctx);
    }
    for (std::int64_t k : model.Order())
        ASSERT_EQ(ArrayGet(a, k)->i, model.ValueAt(k));
    EXPECT_EQ(a->length, length);
}

TEST_F(Arrays, ManyElementsStayReachable)
{
    ArrayRecord* a = Rooted("big", 100000);
    for (int i = 0; i < 100000; ++i)
        ArraySet(ctx, a, Str(u"element"), i);
    Collect(ctx);
    std::size_t ok = 0;
    for (int i = 0; i < 100000; ++i)
        ok += ArrayGet(a, i)->s->View() == u"element";
    EXPECT_EQ(ok, 100000u);
    EXPECT_EQ(ArrayElementsByIndex(a).front().index, 0);
    EXPECT_EQ(ArrayElementsByIndex(a).back().index, 99999);
}

} // namespace
} // namespace zelph::test
