#include "tests/script/vm/vm_test_util.h"

#include "script/vm/array.h"
#include "script/vm/native_class.h"
#include "script/vm/object.h"
#include "script/vm/property.h"

namespace zelph::test {
namespace {

class Properties : public VmTest {
protected:
    Atom A(const char* name) { return InternAtom(ctx, name); }
    Value Get(const Value& v, Atom a)
    {
        Value out;
        return GetProperty(ctx, v, a, &out) ? out : Value::AtomValue(999);  // 999: not found
    }
};

TEST_F(Properties, NativeObjects)
{
    NativeClass* cls = NewNativeClass(ctx);
    int data = 0;
    Value instance = Global("instance") = DefineNativeValue(ctx, cls, &data);
    Value classValue = Global("Cls") = DefineNativeValue(ctx, cls, nullptr);
    Atom color = A("color");
    EXPECT_EQ(Get(instance, color).tag, kAtom) << "no property operation: nothing is found";

    cls->property = [](Context* c, NativeClass*, void*, Atom name, int isSet, Value* value) -> int {
        if (std::string(AtomName(c, name)) != "size")
            return 0;
        if (!isSet)
            *value = Value::Integer(10);
        return 1;
    };
    EXPECT_EQ(Get(instance, A("size")).i, 10);
    // Other names: the instance's property object, then the class prototype.
    ObjectSetOwn(ctx, cls->prototype, color, Value::Integer(3));
    EXPECT_EQ(Get(instance, color).i, 3);
    EXPECT_EQ(Get(classValue, color).i, 3);
    EXPECT_EQ(Get(instance, kAtomProto).o, instance.n->props);
    EXPECT_EQ(Get(classValue, kAtomProto).o, cls->prototype);

    // Writes land only where the name exists.
    EXPECT_FALSE(SetExistingProperty(ctx, instance, A("fresh"), Value::Integer(1)));
    EXPECT_TRUE(SetExistingProperty(ctx, instance, color, Value::Integer(4)));
    EXPECT_EQ(Get(instance, color).i, 4);
    EXPECT_EQ(Get(classValue, color).i, 3) << "written on the instance's own property object";
    EXPECT_TRUE(SetExistingProperty(ctx, instance, A("size"), Value::Integer(5)));
    ObjectRecord* other = NewObject(ctx);
    EXPECT_TRUE(SetExistingProperty(ctx, instance, kAtomProto, Value::Object(other)));
    EXPECT_EQ(instance.n->props, other);
    EXPECT_FALSE(SetExistingProperty(ctx, instance, kAtomProto, Value::Integer(1)));
}

TEST_F(Properties, PrimitivesThroughTheirTypeClass)
{
    Value s = Global("s") = Str(u"text");
    Atom extra = A("extra");
    NativeClass* stringClass = ctx->typeClasses[kString];
    ObjectSetOwn(ctx, stringClass->prototype, extra, Value::Integer(1));
    EXPECT_EQ(Get(s, extra).i, 1) << "found on the String prototype";
    EXPECT_EQ(s.s->props, nullptr) << "reading makes no property object";

    // __proto__ of a string makes its property object, whose __proto__ is the
    // class prototype.
    Value proto = Get(s, kAtomProto);
    ASSERT_EQ(proto.tag, kObject);
    EXPECT_EQ(s.s->props, proto.o);
    ObjectSetOwn(ctx, proto.o, extra, Value::Integer(2));
    EXPECT_EQ(Get(s, extra).i, 2) << "own property object first";
    EXPECT_TRUE(SetExistingProperty(ctx, s, extra, Value::Integer(3)));
    EXPECT_EQ(Get(s, extra).i, 3);

    EXPECT_EQ(Get(Value::Boolean(true), kAtomProto).tag, kAtom) << "a boolean has no property object";
    EXPECT_EQ(Get(Value::Null(), extra).tag, kAtom) << "no type class";
    Value f = Global("f") = NewFunction(ctx, nullptr);
    ASSERT_EQ(Get(f, kAtomProto).tag, kObject);
    Value fp;
    ASSERT_TRUE(ObjectGet(ctx, f.c->props, kAtomProto, &fp));
    EXPECT_EQ(fp.o, ctx->typeClasses[kFunction]->prototype);
}

TEST_F(Properties, PlainObjectsWriteOwnEvenWhenInherited)
{
    Value proto = Global("p") = Value::Object(NewObject(ctx));
    Value o = Global("o") = Value::Object(NewObject(ctx));
    Atom x = A("x");
    ObjectSetOwn(ctx, proto.o, x, Value::Integer(1));
    ObjectSetOwn(ctx, o.o, kAtomProto, proto);
    EXPECT_TRUE(SetExistingProperty(ctx, o, x, Value::Integer(2)));
    EXPECT_EQ(ObjectFindOwn(o.o, x)->value.i, 2);
    EXPECT_EQ(ObjectFindOwn(proto.o, x)->value.i, 1);
    EXPECT_FALSE(SetExistingProperty(ctx, o, A("y"), Value::Integer(2)));
}

TEST_F(Properties, NewPropertyObjectTakesTheTypeClassPrototype)
{
    ObjectRecord* o = NewPropertyObject(ctx, kArray);
    Value p;
    ASSERT_TRUE(ObjectGet(ctx, o, kAtomProto, &p));
    EXPECT_EQ(p.o, ctx->typeClasses[kArray]->prototype);
    ObjectRecord* none = NewPropertyObject(ctx, kAtom);
    ASSERT_TRUE(ObjectGet(ctx, none, kAtomProto, &p));
    EXPECT_EQ(p.tag, kNull);
}

} // namespace
} // namespace zelph::test
