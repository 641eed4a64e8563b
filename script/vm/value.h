// The tagged script Value: a 32-bit tag and a 64-bit payload, copied as two words.
#pragma once

#include <cstdint>
#include <cstring>

namespace zelph {

struct Context;
struct StringRecord;
struct ObjectRecord;
struct ArrayRecord;
struct NativeInstance;
struct Closure;

using Atom = std::uint32_t;

enum Tag : std::int32_t {
    kUndefined = 0,
    kNull = 1,
    kBoolean = 2,
    kInteger = 3,
    kString = 4,
    kFloat = 5,
    kArray = 6,
    kObject = 7,
    kAtom = 10,
    kNative = 11,
    kFunction = 12,
    kNaN = 13,
    kFrameLink = 14,  // internal to the VM stack
    kFrameInfo = 15,  // internal to the VM stack
};

struct Value {
    std::int32_t tag = kUndefined;
    std::uint32_t spare = 0;  // keeps the payload 8-aligned on every target
    union {
        std::uint64_t bits = 0;
        std::int64_t i;
        double f;
        void* p;
        StringRecord* s;
        ObjectRecord* o;
        ArrayRecord* a;
        NativeInstance* n;
        Closure* c;
    };

    static Value Undefined() { return {}; }
    static Value Null() { Value v; v.tag = kNull; return v; }
    static Value NaN() { Value v; v.tag = kNaN; return v; }
    static Value Boolean(bool b) { Value v; v.tag = kBoolean; v.bits = b ? 1 : 0; return v; }
    static Value Integer(std::int64_t x) { Value v; v.tag = kInteger; v.i = x; return v; }
    static Value Float(double x) { Value v; v.tag = kFloat; v.f = x; return v; }
    static Value String(StringRecord* s) { Value v; v.tag = kString; v.s = s; return v; }
    static Value Object(ObjectRecord* o) { Value v; v.tag = kObject; v.o = o; return v; }
    static Value Array(ArrayRecord* a) { Value v; v.tag = kArray; v.a = a; return v; }
    static Value Native(NativeInstance* n) { Value v; v.tag = kNative; v.n = n; return v; }
    static Value Function(Closure* c) { Value v; v.tag = kFunction; v.c = c; return v; }
    static Value AtomValue(Atom a) { Value v; v.tag = kAtom; v.bits = a; return v; }

    bool IsInteger() const { return tag == kInteger; }
    bool IsFloat() const { return tag == kFloat; }
    bool IsNumber() const { return tag == kInteger || tag == kFloat; }
    bool IsString() const { return tag == kString; }
    bool IsObject() const { return tag == kObject; }
    bool IsArray() const { return tag == kArray; }
    bool IsNative() const { return tag == kNative; }
    bool IsFunction() const { return tag == kFunction; }
    // Primitive in the sense of ToPrimitive: types 0 to 5 and NaN.
    bool IsPrimitive() const { return (tag >= kUndefined && tag <= kFloat) || tag == kNaN; }
    // The Atom of an atom Value.
    Atom AtomNumber() const { return static_cast<Atom>(bits); }
    bool BooleanValue() const { return static_cast<std::uint32_t>(bits) != 0; }
};

static_assert(sizeof(Value) == 16, "a Value is a tag word and a payload word");

// The raw bits of a double, and back.
inline std::uint64_t DoubleBits(double d)
{
    std::uint64_t b;
    std::memcpy(&b, &d, sizeof b);
    return b;
}

} // namespace zelph
