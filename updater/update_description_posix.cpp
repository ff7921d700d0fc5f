#include "updater/update_files.h"

namespace kavrel {

bool ReadDescriptionWithPlatform(const Text& path, std::vector<DescribedFile>& files) {
  return ReadDescriptionWithXmlDocument(path, files);
}

}  // namespace kavrel
