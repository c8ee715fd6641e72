// The Chinese characters of everyday text, for telling GBK text from UTF-8
// text whose bytes happen to be valid GBK.
#pragma once

#include <QChar>

namespace quillon::script {

// One of the most frequent Chinese characters of modern text.
bool isCommonHanzi(QChar c);

}  // namespace quillon::script
