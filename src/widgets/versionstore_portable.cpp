// Off Windows the executable carries no version resource: the program's store
// answers from a block laid out from the product's values.
#include "widgets/versionblock.h"
#include "widgets/versionproduct.h"

namespace ordalyn {

const VersionInfoStore& ProgramVersionStore() {
  static const VersionBlockStore store(BuildVersionBlock(ProductVersionData()));
  return store;
}

}  // namespace ordalyn
