; Dan: multiplies correctly, then jumps back to the start instead of halting.
start:  MOVE r1, [0x00]
        MOVE r2, [0x01]
        ADDI r3, r0, 0
loop:   ADDI r2, r2, 0
        JZ   done
        ADD  r3, r3, r1
        ADDI r2, r2, -1
        ADDI r0, r0, 0
        JZ   loop
done:   MOVE [0x02], r3
        ADDI r0, r0, 0
        JZ   start
