// Anchor of the shared test-support library; fixtures live beside it.
namespace v2test {
int testSupportVersion() { return 1; }
} // namespace v2test
