/* The floor for a whole command-line run: a static program that only starts
   and exits. */
int main(void) {
  return 0;
}
