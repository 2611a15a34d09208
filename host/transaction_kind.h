// The two kinds of transaction the host hands over: a sale and a refund.
#pragma once

namespace qel {

enum class TransactionKind { Sale, Refund };

}  // namespace qel
