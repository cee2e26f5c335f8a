// Placeholder translation unit so the library target always has a source.
namespace lumerak_detail { int library_anchor = 0; }
