// A shared library that exports nothing: the validator must refuse it.
namespace {

[[maybe_unused]] int nothing() {
    return 0;
}

} // namespace
