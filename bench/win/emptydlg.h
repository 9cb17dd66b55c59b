/* Resource identifiers of the empty dialog used as the launch floor. */
#ifndef BAUDCALC_BENCH_EMPTYDLG_H
#define BAUDCALC_BENCH_EMPTYDLG_H

#define IDD_EMPTY 100

#endif
