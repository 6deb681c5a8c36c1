// Shares one object between owners with ReferenceCount; the last owner to
// let go deletes it.
#include "tskbase/reference_count.h"

#include <cstdio>

#include "demo.h"

namespace {

class Document : public ReferenceCount {
public:
  explicit Document(const char* name) : name_(name) {}
  ~Document() override { std::printf("  %s deleted\n", name_); }

  // Drops one reference, deletes the document with the last one, and
  // returns the count that is left.
  static uint64_t release(Document* document) {
    const uint64_t left = document->Release();
    if (left == 0) {
      delete document;
    }
    return left;
  }

  const char* name() const { return name_; }

private:
  const char* name_;
};

} // namespace

void demo::referenceCounting() {
  heading("Reference counting: one document, three owners");

  auto* document = new Document("report.txt"); // count 1: the creator
  std::printf("  created %s, count %llu\n", document->name(),
              static_cast<unsigned long long>(document->QueryRef()));
  std::printf("  editor takes it, count %llu\n",
              static_cast<unsigned long long>(document->AddRef()));
  std::printf("  printer takes it, count %llu\n",
              static_cast<unsigned long long>(document->AddRef()));
  const char* const owners[] = {"creator", "editor", "printer"};
  for (const char* owner : owners) {
    std::printf("  %s lets go\n", owner);
    const uint64_t left = Document::release(document);
    std::printf("  count %llu\n", static_cast<unsigned long long>(left));
  }
}
