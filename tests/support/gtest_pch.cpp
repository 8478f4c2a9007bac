// The target whose precompiled GoogleTest every unit-test program reuses; it is never linked.
