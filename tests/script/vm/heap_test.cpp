#include "tests/script/vm/vm_test_util.h"

#include "script/vm/array.h"
#include "script/vm/collector.h"
#include "script/vm/heap.h"
#include "script/vm/native_class.h"
#include "script/vm/object.h"
#include "script/vm/operators.h"

#include <set>

namespace zelph::test {
namespace {

class Heap : public VmTest {};

TEST(HeapRules, SizeClassesAndChunkSizes)
{
    const std::pair<std::size_t, int> classes[] = {
        {4, 0}, {7, 0}, {8, 1}, {15, 1}, {16, 2}, {1024, 8}, {1u << 20, 18}, {1u << 21, 19}, {1u << 29, 19},
    };
    for (const auto& [size, c] : classes)
        EXPECT_EQ(SizeClass(size), c) << size;
    // Requests that leave no room in a standard chunk get a chunk of their own:
    // the rounded request plus the chunk and block headers.
    EXPECT_EQ(ChunkSizeFor(65536), kChunkSize);
    EXPECT_EQ(ChunkSizeFor(262144), 262144 + kChunkHeaderSize + kBlockHeaderSize);
}

TEST_F(Heap, LargeRequestGetsAChunkOfItsOwn)
{
    std::size_t before = ctx->heap.totalBytes;
    void* p = HeapAlloc(ctx, 200000);
    EXPECT_EQ(BlockSize(p), 262144u);
    EXPECT_EQ(ctx->heap.totalBytes - before, 262144 + kChunkHeaderSize + kBlockHeaderSize);
    EXPECT_EQ(ctx->heap.chunks->usable, 262144 + kBlockHeaderSize);
}

TEST_F(Heap, SmallBlocksAreSplitAndReusedFromTheirList)
{
    void* a = HeapAlloc(ctx, 20);
    EXPECT_EQ(BlockSize(a), 32u);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(a) % 8, 0u);
    void* b = HeapAlloc(ctx, 20);
    EXPECT_EQ(static_cast<char*>(b) - static_cast<char*>(a), 32 + static_cast<long>(kBlockHeaderSize))
        << "split from the same free block, right behind the first";
    HeapFree(ctx, a);
    EXPECT_EQ(HeapAlloc(ctx, 17), a) << "a freed block is the next of its size";
    void* c = HeapRealloc(ctx, b, 30);
    EXPECT_EQ(c, b) << "already big enough";
    void* d = HeapRealloc(ctx, b, 33);
    EXPECT_NE(d, b);
    EXPECT_EQ(BlockSize(d), 64u);
}

// A context without classes starts with an empty heap, so block positions are
// known.
TEST(HeapSweep, CoalescesNeighboursAndCountsLive)
{
    ContextPtr bare(CreateContext(64, 0, false, {}));
    Context* ctx = bare.get();
    ASSERT_EQ(ctx->heap.chunks, nullptr);
    void* blocks[4];
    for (void*& b : blocks)
        b = HeapAlloc(ctx, 1000);
    Mark(blocks[1]);  // as a root would
    EXPECT_EQ(Sweep(ctx), 1024u);
    EXPECT_FALSE(IsMarked(blocks[1]));
    EXPECT_EQ(ctx->heap.freeBytes, kChunkSize - kChunkHeaderSize - 3 * kBlockHeaderSize - 1024);
    EXPECT_EQ(HeapAlloc(ctx, 1000), blocks[0]) << "the run before the live block";
    EXPECT_EQ(HeapAlloc(ctx, 3000), blocks[2]) << "blocks 2 and 3 merged with the rest of the chunk";
}

int finalized = 0;
std::set<void*> finalizedData;

void CountingFinalize(NativeClass*, void* data)
{
    ++finalized;
    finalizedData.insert(data);
}

TEST_F(Heap, FinalizersRunOnceWhenUnreachableAndAtDestroy)
{
    finalized = 0;
    finalizedData.clear();
    NativeClass* cls = NewNativeClass(ctx);
    cls->finalize = CountingFinalize;
    Global("cls") = DefineNativeValue(ctx, cls, nullptr);
    int dataA = 0, dataB = 0;
    Global("kept") = DefineNativeValue(ctx, cls, &dataA);
    DefineNativeValue(ctx, cls, &dataB);  // unreachable from the start

    Collect(ctx);
    EXPECT_EQ(finalized, 1);
    EXPECT_TRUE(finalizedData.count(&dataB));
    Collect(ctx);
    EXPECT_EQ(finalized, 1) << "a collected instance is finalized once";

    ctx_.reset();
    EXPECT_EQ(finalized, 3) << "the kept instance and the class value at destruction";
    EXPECT_TRUE(finalizedData.count(&dataA));
}

// The class's private data outlives every instance finalized in the same sweep.
TEST_F(Heap, ClassesAreFinalizedAfterTheirInstances)
{
    static std::vector<std::string> order;
    order.clear();
    NativeClass* cls = NewNativeClass(ctx);
    cls->privateData = new int(7);
    cls->freePrivate = [](void* p) {
        order.push_back("class");
        delete static_cast<int*>(p);
    };
    cls->finalize = [](NativeClass* c, void*) { order.push_back("instance " + std::to_string(*static_cast<int*>(c->privateData))); };
    static int data = 1;
    DefineNativeValue(ctx, cls, &data);
    ctx_.reset();
    EXPECT_EQ(order, (std::vector<std::string>{"instance 7", "class"}));
}

TEST_F(Heap, StringChurnKeepsMemoryBounded)
{
    for (int i = 0; i < 200000; ++i) {
        Value s = OpAdd(ctx, Str(u"some text "), Value::Integer(i));
        if (i % 1000 == 0)
            Global("acc") = s;
        SafePoint(ctx);
    }
    EXPECT_GT(ctx->heap.collections, 5u);
    EXPECT_LT(ctx->heap.totalBytes, 4u * kCollectThreshold);
    EXPECT_EQ(Text(Global("acc")), u"some text 199000");
}

TEST_F(Heap, LongChainsMarkWithoutDeepRecursion)
{
    // A 100000-long __proto__ chain and 100000 nested arrays, both kept alive
    // through one global each, survive a collection intact.
    Value head = Global("chain") = Value::Object(NewObject(ctx));
    ObjectRecord* at = head.o;
    for (int i = 0; i < 100000; ++i) {
        ObjectRecord* next = NewObject(ctx);
        ObjectSetOwn(ctx, at, kAtomProto, Value::Object(next));
        at = next;
    }
    Atom deepName = InternAtom(ctx, "deep");
    ObjectSetOwn(ctx, at, deepName, Value::Integer(99));

    Value outer = Global("nested") = Value::Array(NewArray(ctx, 1));
    ArrayRecord* a = outer.a;
    for (int i = 0; i < 100000; ++i) {
        ArrayRecord* next = NewArray(ctx, 1);
        ArraySet(ctx, a, Value::Array(next), 0);
        a = next;
    }
    ArraySet(ctx, a, Str(u"bottom"), 0);

    Collect(ctx);
    Collect(ctx);
    Value found;
    ASSERT_TRUE(ObjectGet(ctx, Global("chain").o, deepName, &found));
    EXPECT_EQ(found.i, 99);
    a = Global("nested").a;
    for (int i = 0; i < 100000; ++i)
        a = ArrayGet(a, 0)->a;
    EXPECT_EQ(ArrayGet(a, 0)->s->View(), u"bottom");
}

TEST_F(Heap, OversizedRequestsRaiseOutOfMemory)
{
    EXPECT_FALSE(Protected(ctx, [&] { HeapAlloc(ctx, kMaxBlockSize); }));
    EXPECT_STREQ(Message(ctx), "Runtime error: Out of memory");
    EXPECT_FALSE(Protected(ctx, [&] { NewStringOfLength(ctx, kMaxStringLength + 1); }));
    EXPECT_STREQ(Message(ctx), "Runtime error: Out of memory");
}

} // namespace
} // namespace zelph::test
