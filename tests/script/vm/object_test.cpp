#include "tests/script/vm/vm_test_util.h"

#include "script/vm/collector.h"
#include "script/vm/error.h"
#include "script/vm/number_text.h"
#include "script/vm/object.h"
#include "script/vm/string_hash.h"

#include <algorithm>
#include <vector>

namespace zelph::test {
namespace {

class Objects : public VmTest {
protected:
    Atom A(const char* name) { return InternAtom(ctx, name); }
    Value I(std::int64_t x) { return Value::Integer(x); }
    ObjectRecord* Rooted(const char* name)
    {
        Value o = Global(name) = Value::Object(NewObject(ctx));
        return o.o;
    }
    std::vector<std::u16string> Names(ObjectRecord* o)
    {
        std::vector<std::u16string> names;
        Value name;
        for (std::int64_t n = 0; ObjectEntryName(ctx, o, n, &name); ++n)
            names.emplace_back(name.s->View());
        return names;
    }
};

TEST_F(Objects, AtomsAndTheirGlobals)
{
    const char* first[] = {"__proto__", "prototype", "toSource", "toString", "valueOf"};
    for (Atom a = 0; a < 5; ++a)
        EXPECT_STREQ(AtomName(ctx, a), first[a]);
    Atom x = A("someName");
    EXPECT_EQ(A("someName"), x);
    EXPECT_EQ(InternAtom(ctx, std::string_view("someName\0tail", 13)), x);
    EXPECT_STREQ(AtomName(ctx, 1'000'000), "???");
    EXPECT_EQ(ctx->globals.size(), ctx->atoms.Count());
    EXPECT_EQ(UnsetGlobalAtom(ctx->globals[x]), x) << "an unset global names its Atom";
    EXPECT_EQ(ctx->globals[x].tag, kUndefined);
    // Growing the globals keeps every slot.
    ctx->globals[x] = I(5);
    for (int i = 0; i < 3000; ++i)
        A(("g" + std::to_string(i)).c_str());
    EXPECT_EQ(ctx->globals[x].i, 5);
    EXPECT_EQ(ctx->globals.capacity() % kGlobalGrowth, 0u);
}

TEST_F(Objects, InheritedByNameOwnOnlyByKey)
{
    ObjectRecord* proto = Rooted("proto");
    ObjectRecord* o = Rooted("o");
    ObjectSetOwn(ctx, proto, A("x"), I(1));
    ObjectSetOwn(ctx, o, kAtomProto, Value::Object(proto));
    Value v;
    EXPECT_TRUE(ObjectGet(ctx, o, A("x"), &v));
    EXPECT_EQ(v.i, 1);
    EXPECT_EQ(ObjectGetKeyed(ctx, o, Str(u"x")).tag, kUndefined) << "o[\"x\"] looks at own slots only";
    EXPECT_FALSE(ObjectGet(ctx, o, A("y"), &v));
    EXPECT_EQ(v.tag, kUndefined);
}

TEST_F(Objects, TheLastProtoSlotHoldingAnObjectWins)
{
    ObjectRecord* p1 = Rooted("p1");
    ObjectRecord* p2 = Rooted("p2");
    ObjectRecord* o = Rooted("o");
    ObjectSetOwn(ctx, p1, A("which"), I(1));
    ObjectSetOwn(ctx, p2, A("which"), I(2));
    ObjectSetOwn(ctx, o, kAtomProto, Value::Object(p1));
    ObjectSetKeyed(ctx, o, I(1), Value::Object(p2));  // slot 1, named "1"
    Value v;
    ASSERT_TRUE(ObjectGet(ctx, o, A("which"), &v));
    EXPECT_EQ(v.i, 1) << "a positional slot is not a __proto__ slot";
    o->slots[1].atom = static_cast<std::int32_t>(kAtomProto);
    ASSERT_TRUE(ObjectGet(ctx, o, A("which"), &v));
    EXPECT_EQ(v.i, 2);
}

TEST_F(Objects, PositionalKeys)
{
    ObjectRecord* o = Rooted("o");
    ObjectSetKeyed(ctx, o, I(3), I(1));
    ASSERT_EQ(o->slotCount, 4u);
    EXPECT_EQ(ObjectGetKeyed(ctx, o, I(3)).i, 1);
    for (int k : {0, 1, 2, 4, 99, -1})
        EXPECT_EQ(ObjectGetKeyed(ctx, o, I(k)).tag, kUndefined) << k;
    // The written slot is named by its decimal text; the fillers have no name
    // (never __proto__: an object stored at 0 is no prototype).
    EXPECT_EQ(Names(o), std::vector<std::u16string>{u"3"});
    ObjectRecord* other = Rooted("other");
    ObjectSetOwn(ctx, other, A("p"), I(5));
    ObjectSetKeyed(ctx, o, I(0), Value::Object(other));
    Value v;
    EXPECT_FALSE(ObjectGet(ctx, o, A("p"), &v));
    EXPECT_EQ(ObjectGetKeyed(ctx, o, Str(u"0")).o, other);

    // Negative keys read undefined and change nothing; absurd keys raise.
    ObjectSetKeyed(ctx, o, I(-1), I(7));
    ObjectDeleteKeyed(ctx, o, I(-1));
    EXPECT_EQ(o->slotCount, 4u);
    EXPECT_FALSE(Protected(ctx, [&] { ObjectSetKeyed(ctx, o, I(2147483647), I(1)); }));
    EXPECT_STREQ(Message(ctx), "Runtime error: Out of memory");
    // Other key types do nothing.
    ObjectSetKeyed(ctx, o, Value::Float(1.0), I(1));
    EXPECT_EQ(ObjectGetKeyed(ctx, o, Value::Float(3.0)).tag, kUndefined);
}

TEST_F(Objects, StringKeysAndDeletion)
{
    ObjectRecord* o = Rooted("o");
    ObjectSetKeyed(ctx, o, Str(u"a"), I(1));
    ObjectSetOwn(ctx, o, A("b"), I(2));  // entered in the existing index
    EXPECT_EQ(ObjectGetKeyed(ctx, o, Str(u"b")).i, 2);
    ObjectSetKeyed(ctx, o, Str(u"a"), I(3));
    EXPECT_EQ(o->slotCount, 2u);
    EXPECT_EQ(ObjectFindOwn(o, A("a"))->value.i, 3);

    ObjectDelete(ctx, o, A("a"));
    EXPECT_EQ(ObjectGetKeyed(ctx, o, Str(u"a")).tag, kUndefined);
    ObjectSetOwn(ctx, o, A("c"), I(4));
    EXPECT_EQ(o->slotCount, 2u) << "the deleted slot is reused";
    EXPECT_EQ(o->slots[0].atom, static_cast<std::int32_t>(A("c")));
    ObjectDeleteKeyed(ctx, o, Str(u"b"));
    ObjectDeleteKeyed(ctx, o, I(0));
    EXPECT_TRUE(Names(o).empty());
    // A name the program never interned cannot be a property.
    EXPECT_EQ(ObjectGetKeyed(ctx, o, Str(u"never seen")).tag, kUndefined);
}

// for-in order: name-index buckets (hash & 127) in order, newest first within
// a bucket, whether the index was built lazily or kept up to date.
TEST_F(Objects, EnumerationFollowsTheNameIndex)
{
    std::vector<std::string> names;
    for (int i = 0; i < 300; ++i)
        names.push_back("name" + std::to_string(i));
    // Reference order from the rule itself.
    std::vector<std::pair<std::uint32_t, int>> keyed;
    for (int i = 0; i < 300; ++i)
        keyed.push_back({StringHash(names[i]) & 127, -i});
    std::sort(keyed.begin(), keyed.end());
    std::vector<std::u16string> expected;
    for (auto& [bucket, negIndex] : keyed)
        expected.push_back(Widen(names[-negIndex]));

    ObjectRecord* lazy = Rooted("lazy");
    ObjectRecord* eager = Rooted("eager");
    ObjectGetKeyed(ctx, eager, Str(u"x"));  // builds the (empty) index first
    for (const std::string& n : names) {
        ObjectSetOwn(ctx, lazy, A(n.c_str()), I(1));
        ObjectSetOwn(ctx, eager, A(n.c_str()), I(1));
    }
    EXPECT_EQ(Names(lazy), expected);
    EXPECT_EQ(Names(eager), expected);
    Value v;
    EXPECT_FALSE(ObjectEntryName(ctx, lazy, 300, &v));
    EXPECT_FALSE(ObjectEntryName(ctx, lazy, -1, &v));
    Collect(ctx);
    EXPECT_EQ(Names(lazy), expected) << "the index survives a collection";
}

TEST_F(Objects, ProtoCyclesCountAsNotFound)
{
    ObjectRecord* a = Rooted("a");
    ObjectRecord* b = Rooted("b");
    ObjectSetOwn(ctx, a, kAtomProto, Value::Object(b));
    ObjectSetOwn(ctx, b, kAtomProto, Value::Object(a));
    ObjectSetOwn(ctx, b, A("inB"), I(2));
    Value v;
    EXPECT_FALSE(ObjectGet(ctx, a, A("missing"), &v));
    EXPECT_TRUE(ObjectGet(ctx, a, A("inB"), &v));
    ObjectRecord* self = Rooted("self");
    ObjectSetOwn(ctx, self, kAtomProto, Value::Object(self));
    EXPECT_FALSE(ObjectGet(ctx, self, A("missing"), &v));
    // A long chain that ends in a loop.
    ObjectRecord* head = Rooted("head");
    ObjectRecord* at = head;
    for (int i = 0; i < 1000; ++i) {
        ObjectRecord* next = NewObject(ctx);
        ObjectSetOwn(ctx, at, kAtomProto, Value::Object(next));
        at = next;
    }
    ObjectSetOwn(ctx, at, kAtomProto, Value::Object(head->slots[0].value.o));
    EXPECT_FALSE(ObjectGet(ctx, head, A("missing"), &v));
}

} // namespace
} // namespace zelph::test
